// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenImage.h"

#include <ostream>

namespace korvane {

// The snapshot file: the image's 118 header bytes as they stand, then the
// 240 picture rows turned by 180 degrees, so that it looks like the live
// view: file pixel (x, r) is image pixel (319 - x, 239 - r). 38518 bytes.
class SnapshotWriter {
public:
    static void write(std::ostream& out, const ScreenView& screen);
};

}  // namespace korvane
