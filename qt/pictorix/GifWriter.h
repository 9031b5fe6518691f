// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

class QIODevice;

namespace korvane::pictorix {

// Writes a picture as a GIF file through giflib. A picture with a colour
// table of up to 256 entries keeps its exact pixels; any other picture is
// first reduced to 256 colours.
class GifWriter {
public:
    // Returns false and sets *error when giflib or the device fails.
    static bool write(QIODevice& device, const QImage& picture, QString* error);
};

}  // namespace korvane::pictorix
