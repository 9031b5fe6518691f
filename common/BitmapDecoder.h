// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include "BitmapHeader.h"
#include "Picture.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Decodes the pixels of a bitmap file whose headers have passed
// BitmapHeader::check, so every row and the palette are known to lie within
// the file: 1, 4 and 8 bits a pixel (indexed, palette entries of 3 or 4
// bytes), 16, 24 and 32 bits (direct colours, with or without colour masks;
// an alpha channel is not kept), run-length coded 4 and 8 bits, bottom-up
// and top-down rows.
//
// The same bytes always give the same picture: pixels that a run-length
// coded file jumps over or leaves out are index 0, and pixels that name an
// entry past the end of the file's colour table are black (the table is
// lengthened to the highest index used), as every viewer draws them.
class BitmapDecoder {
public:
    // Why `file` cannot be decoded (its run-length coded pixels end before
    // the picture is complete), or nothing, with the picture in `picture`.
    static std::optional<std::string> decode(std::string_view file, const BitmapHeader& header, Picture& picture);
};

}  // namespace korvane
