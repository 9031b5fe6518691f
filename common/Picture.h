// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

namespace korvane {

// A decoded picture, top row first, free of any toolkit: what the image
// tool's faces show, print and hand to the encoders. Either indexed (one
// byte a pixel naming an entry of the palette) or of direct colours.
// Colours are 0xffRRGGBB, the layout of a 32-bit Windows bitmap's pixels
// and of a Qt RGB32 image.
struct Picture {
    int width = 0;
    int height = 0;
    // Not empty: the picture is indexed, and every index names an entry.
    std::vector<std::uint32_t> palette;
    // width x height palette indices of an indexed picture, else empty.
    std::vector<std::uint8_t> indices;
    // width x height colours of a picture without a palette, else empty.
    std::vector<std::uint32_t> colours;

    bool empty() const { return width <= 0 || height <= 0; }
    bool indexed() const { return !palette.empty(); }
    // The colour of pixel (x, y), whichever way it is stored.
    std::uint32_t colourAt(int x, int y) const
    {
        const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(x);
        return indexed() ? palette[indices[at]] : colours[at];
    }

    static constexpr std::uint32_t rgb(unsigned red, unsigned green, unsigned blue)
    {
        return 0xFF000000u | (red & 0xFF) << 16 | (green & 0xFF) << 8 | (blue & 0xFF);
    }
    static constexpr std::uint8_t red(std::uint32_t colour) { return std::uint8_t(colour >> 16); }
    static constexpr std::uint8_t green(std::uint32_t colour) { return std::uint8_t(colour >> 8); }
    static constexpr std::uint8_t blue(std::uint32_t colour) { return std::uint8_t(colour); }
};

}  // namespace korvane
