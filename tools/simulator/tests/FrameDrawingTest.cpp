// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

using namespace zls740sim;

// Column 0 of the frame is the right-most screen column; the high nibble of a
// column's byte is the upper of its two lines. The end-to-end screen check
// reads the instrument's screen through this.
TEST(ScreenPixelLayout, CornersLandInTheRightBytesAndNibbles)
{
    struct Case {
        int x, y;
        std::size_t byte;
        std::uint8_t value;
    };
    const Case cases[] = {
        {0, 0, 128 * 319, 0xC0}, {319, 0, 0, 0xC0}, {0, 1, 128 * 319, 0x0C}, {319, 239, 119, 0x0C},
    };
    for (const Case& c : cases) {
        Frame frame{};
        putScreenPixel(frame, c.x, c.y, 0xC);
        Frame expected{};
        expected[c.byte] = c.value;
        EXPECT_EQ(frame, expected) << "pixel " << c.x << "," << c.y;
        // The other pixel of the byte is left alone.
        putScreenPixel(frame, c.x, c.y ^ 1, 0x3);
        EXPECT_EQ(screenPixel(frame, c.x, c.y), 0xC) << "pixel " << c.x << "," << c.y;
    }
}
