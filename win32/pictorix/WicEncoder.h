// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <optional>
#include <string>

namespace korvane::pictorix {

// The system's image encoders (the Windows Imaging Component) for the
// formats it writes correctly: PNG, TIFF and JPEG, each from 24-bit pixels
// (its JPEG encoder refuses indexed ones). The file is made in memory, so
// that the caller can replace the target all or nothing.
class WicEncoder {
public:
    enum class Format { Png, Tiff, Jpeg };

    // The encoded file, or why the system could not make it (in `error`).
    // COM must be initialised on the calling thread.
    static std::optional<std::string> encode(const Picture& picture, Format format, std::string& error);
};

}  // namespace korvane::pictorix
