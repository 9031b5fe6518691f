// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <set>

using namespace zls740sim;

// Column 0 of the frame is the right-most screen column; the high nibble of a
// column's byte is the upper of its two lines.
TEST(ScreenPixelLayout, CornersLandInTheRightBytesAndNibbles)
{
    struct Case {
        int x, y;
        std::size_t byte;
        std::uint8_t value;
    };
    const Case cases[] = {
        {0, 0, 128 * 319, 0xC0},          // top-left: last column, first byte, high nibble
        {319, 0, 0, 0xC0},                // top-right: first column
        {0, 1, 128 * 319, 0x0C},          // second line: low nibble
        {319, 239, 119, 0x0C},            // bottom-right: last picture byte of column 0
        {0, 239, 128 * 319 + 119, 0x0C},  // bottom-left
    };
    for (const Case& c : cases) {
        Frame frame{};
        putScreenPixel(frame, c.x, c.y, 0xC);
        Frame expected{};
        expected[c.byte] = c.value;
        EXPECT_EQ(frame, expected) << "pixel " << c.x << "," << c.y;
        EXPECT_EQ(screenPixel(frame, c.x, c.y), 0xC);
        // The other pixel of the byte is left alone.
        putScreenPixel(frame, c.x, c.y ^ 1, 0x3);
        EXPECT_EQ(frame[c.byte], c.value | (c.value == 0xC0 ? 0x03 : 0x30)) << "pixel " << c.x << "," << c.y;
        EXPECT_EQ(screenPixel(frame, c.x, c.y), 0xC);
    }
}

TEST(DrawnFrame, MovesAndStaysOnTheScreen)
{
    const Frame frame = drawFrame(0);
    std::set<int> colours;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            colours.insert(screenPixel(frame, x, y));
    EXPECT_GE(colours.size(), 6u) << "background, panels, grid, border, text and traces";
    // Rows 240..255 (bytes 120..127 of each column) are not part of the screen.
    for (std::size_t column = 0; column < 320; ++column)
        for (std::size_t m = 120; m < 128; ++m)
            ASSERT_EQ(frame[128 * column + m], 0) << "column " << column;

    EXPECT_EQ(drawFrame(5), drawFrame(5));
    // The traces move, not only the frame number: compare the graticule area.
    for (std::uint64_t index : {0u, 1u, 49u, 99999u}) {
        const Frame a = drawFrame(index);
        const Frame b = drawFrame(index + 1);
        int changedInGraticule = 0;
        for (int y = 20; y < 210; ++y)
            for (int x = 14; x < 306; ++x)
                changedInGraticule += screenPixel(a, x, y) != screenPixel(b, x, y);
        EXPECT_GT(changedInGraticule, 100) << "frames " << index << " and " << index + 1;
    }
}
