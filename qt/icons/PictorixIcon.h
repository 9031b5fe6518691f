// Korvane - the programs' pictures.
// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QImage>

namespace korvane {

// The image tool's own icon, drawn here rather than shipped as a file: a
// photo print of a scope screen with a trace, the corner of the print turned.
class PictorixIcon {
public:
    // The icon at 16, 24, 32, 48, 64, 128 and 256 pixels.
    static QIcon icon();
    // One square rendering of side pixels.
    static QImage render(int side);
};

}  // namespace korvane
