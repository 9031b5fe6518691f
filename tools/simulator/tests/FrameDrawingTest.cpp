// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

using namespace zls740sim;

namespace {

Frame zeroFrame()
{
    Frame frame;
    frame.fill(0);
    return frame;
}

int changedBytes(const Frame& a, const Frame& b)
{
    int changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        changed += a[i] != b[i];
    return changed;
}

}  // namespace

// Column 0 of the frame is the right-most screen column; the high nibble of a
// column's first byte is the top line.
TEST(ScreenPixelLayout, CornersLandInTheRightBytesAndNibbles)
{
    struct Case {
        int x, y;
        std::size_t byte;
        std::uint8_t value;
    };
    const Case cases[] = {
        {0, 0, 128 * 319, 0x70},          // top-left: last column, first byte, high nibble
        {319, 0, 0, 0x70},                // top-right: first column
        {0, 1, 128 * 319, 0x07},          // second line: low nibble
        {319, 239, 119, 0x07},            // bottom-right: last picture byte of column 0
        {0, 239, 128 * 319 + 119, 0x07},  // bottom-left
        {5, 10, 128 * 314 + 5, 0x70},
    };
    for (const Case& c : cases) {
        Frame frame = zeroFrame();
        putScreenPixel(frame, c.x, c.y, 7);
        EXPECT_EQ(frame[c.byte], c.value) << "pixel " << c.x << "," << c.y;
        EXPECT_EQ(changedBytes(frame, zeroFrame()), 1) << "pixel " << c.x << "," << c.y;
        EXPECT_EQ(screenPixel(frame, c.x, c.y), 7);
    }
}

TEST(ScreenPixelLayout, PixelsSharingAByteKeepEachOther)
{
    Frame frame = zeroFrame();
    putScreenPixel(frame, 100, 20, 0xC);
    putScreenPixel(frame, 100, 21, 0x3);
    EXPECT_EQ(frame[128 * 219 + 10], 0xC3);
    putScreenPixel(frame, 100, 20, 0x5);
    EXPECT_EQ(frame[128 * 219 + 10], 0x53);
    putScreenPixel(frame, 100, 21, 0xE);
    EXPECT_EQ(screenPixel(frame, 100, 20), 0x5);
    EXPECT_EQ(screenPixel(frame, 100, 21), 0xE);
    // Only the index's four bits are stored.
    putScreenPixel(frame, 100, 21, 0xF1);
    EXPECT_EQ(frame[128 * 219 + 10], 0x51);
}

TEST(ScreenPixelLayout, EveryPixelRoundTrips)
{
    Frame frame = zeroFrame();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            putScreenPixel(frame, x, y, static_cast<std::uint8_t>((x * 7 + y * 3) & 0x0F));
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(screenPixel(frame, x, y), (x * 7 + y * 3) & 0x0F) << x << "," << y;
    // Rows 240..255 (bytes 120..127 of each column) are not part of the screen.
    for (std::size_t column = 0; column < 320; ++column)
        for (std::size_t m = 120; m < 128; ++m)
            ASSERT_EQ(frame[128 * column + m], 0);
}

TEST(ScreenPixelLayout, PixelsOffTheScreenAreIgnored)
{
    Frame frame = zeroFrame();
    for (const auto& [x, y] : {std::pair{-1, 0}, {320, 0}, {0, -1}, {0, 240}, {319, 255}})
        putScreenPixel(frame, x, y, 9);
    EXPECT_EQ(changedBytes(frame, zeroFrame()), 0);
    frame.fill(0xFF);
    EXPECT_EQ(screenPixel(frame, 320, 0), 0);
    EXPECT_EQ(screenPixel(frame, 0, 240), 0);
}

TEST(DrawnFrame, IsABelievableScreen)
{
    const Frame frame = drawFrame(0);
    std::map<int, int> histogram;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ++histogram[screenPixel(frame, x, y)];
    // Background, panels, grid, border, text and two traces.
    EXPECT_GE(histogram.size(), 6u);
    int largest = 0;
    for (const auto& [colour, count] : histogram)
        largest = std::max(largest, count);
    EXPECT_GT(largest, 320 * 240 / 2) << "a background fills most of the screen";
    EXPECT_LT(largest, 320 * 240 * 95 / 100) << "and something is drawn on it";
    for (std::size_t column = 0; column < 320; ++column)
        for (std::size_t m = 120; m < 128; ++m)
            ASSERT_EQ(frame[128 * column + m], 0) << "rows below the screen stay zero";
}

TEST(DrawnFrame, MovesFromFrameToFrame)
{
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
