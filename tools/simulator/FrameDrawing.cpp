// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
//
// The picture the simulated instrument shows: a graticule with two running
// traces and a few labels, in the instrument's 16-colour palette indices.
#include "FrameDrawing.h"

#include "ScreenFont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace zls740sim {

namespace {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
// Bytes of a column that hold picture rows (2 rows per byte); the rest of
// the column (rows 240..255) is never shown and stays zero.
constexpr std::size_t kColumnBytes = 128;
constexpr std::size_t kPictureBytesPerColumn = kScreenHeight / 2;

// Palette indices chosen so that the picture reads well in both of the
// viewer's palettes: a dark blue field in colour that turns white in
// monochrome, traces that turn black there, grey grid lines in both.
constexpr std::uint8_t kBackground = 10;
constexpr std::uint8_t kPanel = 5;
constexpr std::uint8_t kGridLine = 8;
constexpr std::uint8_t kBorder = 11;
constexpr std::uint8_t kText = 7;
constexpr std::uint8_t kChannel1 = 2;
constexpr std::uint8_t kChannel2 = 4;
constexpr std::uint8_t kRunning = 6;
constexpr std::uint8_t kTrigger = 14;

// Graticule: 12 x 8 divisions of 25 pixels.
constexpr int kDivision = 25;
constexpr int kGridLeft = 10;
constexpr int kGridTop = 16;
constexpr int kGridRight = kGridLeft + 12 * kDivision;  // 310
constexpr int kGridBottom = kGridTop + 8 * kDivision;   // 216
constexpr int kGridCentreX = (kGridLeft + kGridRight) / 2;
constexpr int kGridCentreY = (kGridTop + kGridBottom) / 2;

constexpr int kChannel1Zero = kGridTop + 2 * kDivision;
constexpr int kChannel2Zero = kGridTop + 6 * kDivision;

void fillRect(Frame& frame, int x0, int y0, int x1, int y1, std::uint8_t colour)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            putScreenPixel(frame, x, y, colour);
}

void drawGraticule(Frame& frame)
{
    // Dotted division lines every 5 pixels, as the instrument draws them.
    for (int x = kGridLeft + kDivision; x < kGridRight; x += kDivision)
        for (int y = kGridTop + 5; y < kGridBottom; y += 5)
            putScreenPixel(frame, x, y, kGridLine);
    for (int y = kGridTop + kDivision; y < kGridBottom; y += kDivision)
        for (int x = kGridLeft + 5; x < kGridRight; x += 5)
            putScreenPixel(frame, x, y, kGridLine);
    // Centre axes with small ticks on every fifth of a division.
    for (int x = kGridLeft + 5; x < kGridRight; x += 5)
        fillRect(frame, x, kGridCentreY - 2, x, kGridCentreY + 2, kGridLine);
    for (int y = kGridTop + 5; y < kGridBottom; y += 5)
        fillRect(frame, kGridCentreX - 2, y, kGridCentreX + 2, y, kGridLine);
    // Solid border.
    fillRect(frame, kGridLeft, kGridTop, kGridRight, kGridTop, kBorder);
    fillRect(frame, kGridLeft, kGridBottom, kGridRight, kGridBottom, kBorder);
    fillRect(frame, kGridLeft, kGridTop, kGridLeft, kGridBottom, kBorder);
    fillRect(frame, kGridRight, kGridTop, kGridRight, kGridBottom, kBorder);
}

// Joins the samples of one trace with vertical strokes so steep edges stay
// continuous; `level` gives the pixel row of each screen column.
template <typename Level>
void drawTrace(Frame& frame, std::uint8_t colour, Level level)
{
    int previous = level(kGridLeft + 1);
    for (int x = kGridLeft + 1; x < kGridRight; ++x) {
        const int y = std::clamp(level(x), kGridTop + 1, kGridBottom - 1);
        const int from = std::min(previous, y);
        const int to = std::max(previous, y);
        for (int row = from; row <= to; ++row)
            putScreenPixel(frame, x, row, colour);
        previous = y;
    }
}

// A marker pointing right at a channel's zero level, left of the graticule.
void drawZeroMarker(Frame& frame, int zeroRow, char digit, std::uint8_t colour)
{
    for (int i = 0; i < 4; ++i)
        fillRect(frame, 1 + i, zeroRow - 3 + i, 1 + i, zeroRow + 3 - i, colour);
    const char text[2] = {digit, '\0'};
    ScreenFont::drawText(frame, 4, zeroRow - 10, text, colour);
}

}  // namespace

void putScreenPixel(Frame& frame, int x, int y, std::uint8_t colourIndex)
{
    if (x < 0 || x >= kScreenWidth || y < 0 || y >= kScreenHeight)
        return;
    std::uint8_t& byte =
        frame[kColumnBytes * static_cast<std::size_t>(kScreenWidth - 1 - x) + static_cast<std::size_t>(y / 2)];
    const std::uint8_t nibble = colourIndex & 0x0F;
    if (y % 2 == 0)
        byte = static_cast<std::uint8_t>((byte & 0x0F) | (nibble << 4));
    else
        byte = static_cast<std::uint8_t>((byte & 0xF0) | nibble);
}

std::uint8_t screenPixel(const Frame& frame, int x, int y)
{
    if (x < 0 || x >= kScreenWidth || y < 0 || y >= kScreenHeight)
        return 0;
    const std::uint8_t byte =
        frame[kColumnBytes * static_cast<std::size_t>(kScreenWidth - 1 - x) + static_cast<std::size_t>(y / 2)];
    return y % 2 == 0 ? static_cast<std::uint8_t>(byte >> 4) : static_cast<std::uint8_t>(byte & 0x0F);
}

Frame drawFrame(std::uint64_t index)
{
    Frame frame;
    for (std::size_t column = 0; column < kScreenWidth; ++column) {
        std::uint8_t* bytes = frame.data() + column * kColumnBytes;
        std::memset(bytes, kBackground * 0x11, kPictureBytesPerColumn);
        std::memset(bytes + kPictureBytesPerColumn, 0, kColumnBytes - kPictureBytesPerColumn);
    }

    // Status line: run state, time base, trigger, and a frame number that
    // makes every picture differ from the one before.
    fillRect(frame, 0, 0, kScreenWidth - 1, 11, kPanel);
    ScreenFont::drawText(frame, 4, 2, "RUN", kRunning);
    ScreenFont::drawText(frame, 34, 2, "M 500US", kText);
    ScreenFont::drawText(frame, 88, 2, "TRIG CH1 +0.40V", kText);
    char number[16];
    std::snprintf(number, sizeof number, "#%05u", static_cast<unsigned>(index % 100000));
    ScreenFont::drawText(frame, kScreenWidth - 4 - 6 * 6, 2, number, kText);

    drawGraticule(frame);

    // Channel 1: a sine of 4 divisions' period running right; channel 2: a
    // square wave of 6 divisions' period running left.
    const double phase1 = static_cast<double>((index * 6) % 100);
    drawTrace(frame, kChannel1, [phase1](int x) {
        const double t = (x - kGridLeft + phase1) / 100.0;
        return kChannel1Zero - static_cast<int>(std::lround(40.0 * std::sin(2.0 * std::numbers::pi * t)));
    });
    const int phase2 = static_cast<int>((index * 4) % 150);
    drawTrace(frame, kChannel2, [phase2](int x) {
        const int t = (x - kGridLeft + 150 - phase2) % 150;
        return t < 75 ? kChannel2Zero - 25 : kChannel2Zero + 25;
    });

    drawZeroMarker(frame, kChannel1Zero, '1', kChannel1);
    drawZeroMarker(frame, kChannel2Zero, '2', kChannel2);
    // Trigger position above the graticule and trigger level right of it.
    for (int i = 0; i < 3; ++i)
        fillRect(frame, kGridCentreX - 2 + i, kGridTop - 3 + i, kGridCentreX + 2 - i, kGridTop - 3 + i, kTrigger);
    // 0.4 division of 25 pixels above the zero level: +0.40V at 1.00V/div.
    const int triggerRow = kChannel1Zero - 10;
    for (int i = 0; i < 4; ++i)
        fillRect(frame, kGridRight + 2 + i, triggerRow - i, kGridRight + 2 + i, triggerRow + i, kTrigger);

    // Channel settings and a measurement below the graticule.
    fillRect(frame, 0, 221, kScreenWidth - 1, kScreenHeight - 1, kPanel);
    ScreenFont::drawText(frame, 6, 224, "CH1 1.00V", kChannel1);
    ScreenFont::drawText(frame, 70, 224, "CH2 2.00V", kChannel2);
    ScreenFont::drawText(frame, 140, 224, "FREQ 500.0HZ", kText);
    ScreenFont::drawText(frame, 6, 232, "VPP 3.20V", kChannel1);
    ScreenFont::drawText(frame, 70, 232, "DUTY 50.0%", kChannel2);
    return frame;
}

}  // namespace zls740sim
