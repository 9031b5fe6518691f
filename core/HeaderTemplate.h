// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenGeometry.h"

#include <array>
#include <cstdint>
#include <string>

namespace korvane {

using HeaderBytes = std::array<std::uint8_t, kHeaderBytes>;

// The 118-byte BMP header that heads the screen image and the snapshot file.
// header2.bin beside the programs holds the same bytes.
class HeaderTemplate {
public:
    enum class Source { File, BuiltIn };

    // A 4-bit, one-plane, uncompressed bitmap header with a 40-byte info
    // header, the pixels at byte 118 and all 16 colours used (biClrUsed 0 or
    // 16): the only kind the image can be painted and saved with. Width,
    // height and the palette's colours do not matter.
    static bool isUsable(const std::uint8_t* bytes, std::size_t size);

    // The built-in copy: 320x240, the colour palette, pixels at 118.
    static const HeaderBytes& builtIn();

    // The first 118 bytes of the first usable file among `paths`, else the
    // built-in copy. A missing, short or wrong file is passed over.
    static HeaderBytes load(std::initializer_list<std::string> paths, Source* source = nullptr);
};

}  // namespace korvane
