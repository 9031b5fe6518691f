// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <ostream>

namespace korvane {

// Writes a picture as an uncompressed, bottom-up bitmap file with the 40-byte
// info header: an indexed picture of up to 16 colours with 4 bits a pixel
// (the snapshot comes out as the viewer wrote it), of up to 256 with 8 bits,
// any other with 24 bits. Every pixel keeps its colour, and its index where
// it has one.
class BmpWriter {
public:
    // False when the picture is empty or `out` fails.
    static bool write(std::ostream& out, const Picture& picture);
};

}  // namespace korvane
