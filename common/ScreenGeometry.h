// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvane {

// The instrument's screen: 320x240 pixels of 4 bits (a palette index).
inline constexpr int kScreenWidth = 320;
inline constexpr int kScreenHeight = 240;

// One answer to a screen request: 320 columns of 128 bytes, two vertically
// adjacent pixels a byte (high nibble on top); 256 pixels a column, of which
// the first 240 are the picture.
inline constexpr std::size_t kFrameBytes = 40960;
inline constexpr std::size_t kColumnBytes = 128;

// The image in memory is a bottom-up 4-bit BMP: a 118-byte header (file
// header, info header, 16 palette entries) and 256 rows of 160 bytes.
inline constexpr std::size_t kHeaderBytes = 118;
inline constexpr std::size_t kInfoHeaderOffset = 14;
inline constexpr std::size_t kPaletteOffset = 54;
inline constexpr std::size_t kPaletteEntries = 16;
inline constexpr std::size_t kRowBytes = 160;
inline constexpr std::size_t kStoredRows = 256;
inline constexpr std::size_t kPixelBytes = kRowBytes * kStoredRows;     // 40960
inline constexpr std::size_t kImageBytes = kHeaderBytes + kPixelBytes;  // 41078

// The snapshot file: the header and the 240 picture rows, turned by 180 degrees.
inline constexpr std::size_t kSnapshotBytes = kHeaderBytes + kRowBytes * kScreenHeight;  // 38518

// The screen request, and the only bytes ever sent to the instrument.
inline constexpr std::uint8_t screenRequest[4] = {0x57, 0x00, 0x00, 0x0A};

}  // namespace korvane
