// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zls740sim {

// One screen as the instrument sends it: 320 columns of 128 bytes.
inline constexpr std::size_t kFrameBytes = 40960;
using Frame = std::array<std::uint8_t, kFrameBytes>;

// The frame the simulator draws for frame number `index` (a moving picture).
Frame drawFrame(std::uint64_t index);

// Screen pixel (x, y) of the picture as the user sees it (x 0..319 left to
// right, y 0..239 top to bottom) packed into the instrument's column layout:
// byte 128*(319-x) + y/2, high nibble for even y.
void putScreenPixel(Frame& frame, int x, int y, std::uint8_t colourIndex);
std::uint8_t screenPixel(const Frame& frame, int x, int y);

}  // namespace zls740sim
