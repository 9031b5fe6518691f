// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane::pictorix {

// Reads the snapshot file (or any sane bitmap file) into a picture, for
// every face of the image tool. The file comes from another program and may
// be anything: its headers pass every check of BitmapHeader before a pixel
// is decoded.
class SnapshotLoader {
public:
    // Largest file accepted, in bytes; far above any screen snapshot.
    static constexpr std::int64_t kMaxFileBytes = 64 * 1024 * 1024;

    // Loads the picture file at `path` (UTF-8, shown as given in the error
    // texts). Throws RuntimeError: 53 when the file does not exist, 75 when
    // it cannot be read, 481 when it is no picture.
    static Picture load(const std::string& path);

    // Checks and decodes the bytes of a bitmap file. Throws RuntimeError 481
    // naming `origin` and the reason when the bytes are no sane bitmap.
    static Picture decode(std::string_view file, const std::string& origin);
};

}  // namespace korvane::pictorix
