// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

class QIODevice;

namespace korvane::pictorix {

// Writes a picture as a run-length coded PCX file (version 5). A picture with
// a colour table (the 16-colour snapshot) becomes one 8-bit plane with the
// 256-entry palette at the end of the file; any other picture becomes three
// 8-bit planes (red, green, blue) per line. Both keep every pixel exactly.
class PcxWriter {
public:
    // Returns false and sets *error when the picture is empty or the device
    // refuses a write.
    static bool write(QIODevice& device, const QImage& picture, QString* error);
};

}  // namespace korvane::pictorix
