// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenImage.h"

#include <ostream>
#include <string>

namespace korvane {

// The snapshot file: the image's 118 header bytes as they stand, then the
// 240 picture rows turned by 180 degrees, so that it looks like the live
// view: file pixel (x, r) is image pixel (319 - x, 239 - r). 38518 bytes.
class SnapshotWriter {
public:
    static void write(std::ostream& out, const ScreenView& screen);

    // Writes the snapshot to a temporary file beside `path` and renames it
    // over `path` only once it is complete, so a reader of `path` sees the
    // old file or the new one, never a part. On failure `path` is untouched,
    // no temporary file is left, and `error` says why.
    static bool replaceFile(const std::string& path, const std::string& bytes, std::string* error);
};

}  // namespace korvane
