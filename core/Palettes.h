// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenGeometry.h"

#include <array>
#include <cstdint>

namespace korvane {

struct Rgb {
    std::uint8_t red, green, blue;
};

using Palette = std::array<Rgb, kPaletteEntries>;

// The instrument's two colour tables, indexed by the 4-bit pixel value.
struct Palettes {
    static const Palette& colour();
    static const Palette& monochrome();
    // Mode 1 is colour; every other value is monochrome.
    static const Palette& forMode(std::int32_t mode) { return mode == 1 ? colour() : monochrome(); }
};

}  // namespace korvane
