// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include "FrameDrawing.h"

#include <cstdint>
#include <string_view>

namespace zls740sim {

// A tiny 5x7 pixel font for the labels on the simulated screen: digits,
// capital letters and a few signs. Characters it lacks are drawn as blanks.
class ScreenFont {
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    // Horizontal distance from one character to the next (one blank column).
    static constexpr int kAdvance = 6;

    // Rows of the glyph, top first; bit 4 is the left-most pixel. Null for
    // characters the font does not have.
    static const std::uint8_t* glyph(char c);

    // Draws `text` with its top-left corner at screen pixel (x, y); pixels
    // outside the screen are left out. Returns the x after the last character.
    static int drawText(Frame& frame, int x, int y, std::string_view text, std::uint8_t colourIndex);
};

}  // namespace zls740sim
