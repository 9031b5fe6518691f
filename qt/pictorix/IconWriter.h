// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

class QIODevice;

namespace korvane::pictorix {

// Writes a picture as an icon file or a cursor file with one image. The image
// is stored as PNG data, the form icon and cursor files use for images larger
// than 256 pixels, so the whole picture is kept at its own size and with its
// exact pixels instead of being shrunk to fit the old size limit.
class IconWriter {
public:
    enum class Kind { Icon = 1, Cursor = 2 };

    // A cursor's hot spot is its top left pixel. Returns false and sets
    // *error when encoding fails or the device refuses a write.
    static bool write(QIODevice& device, const QImage& picture, Kind kind, QString* error);
};

}  // namespace korvane::pictorix
