// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string_view>

namespace korvane {

// A snapshot as PNG: the same 320x240 picture the same way up, with the
// snapshot's 16 palette colours and 4 bits a pixel, so every pixel keeps its
// palette index and colour.
class PngWriter {
public:
    // `snapshot` is a whole snapshot file (38518 bytes: the 118-byte header,
    // then 240 bottom-up rows of 160 bytes). False, with nothing written,
    // for anything else.
    static bool write(std::ostream& out, std::string_view snapshot);
};

}  // namespace korvane
