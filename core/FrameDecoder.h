// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace korvane {

// Turns one screen frame (320 columns of 128 bytes, high nibble on top) into
// the image's 256 rows of 160 bytes (high nibble on the left).
// Byte 128x+m of the frame holds pixel (x, 2m) in its high nibble and
// pixel (x, 2m+1) in its low nibble; stored row y holds pixel (x, y) in byte
// x/2, the even x in the high nibble. Writes all 40960 bytes of `pixels`.
class FrameDecoder {
public:
    // The same transform three ways; decode() takes the fastest this
    // processor runs.
    enum class Kernel { Portable, Sse2, Avx512 };

    static void decode(const std::uint8_t* frame, std::uint8_t* pixels);
    static void decode(Kernel kernel, const std::uint8_t* frame, std::uint8_t* pixels);
    static bool runsHere(Kernel kernel);
};

}  // namespace korvane
