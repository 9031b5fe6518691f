// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "FrameDecoder.h"

#include "ScreenGeometry.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvane {

namespace {

// Two frame columns 2j and 2j+1 make byte j of every stored row: the high
// nibbles of their byte m make row 2m, the low nibbles row 2m+1.
[[maybe_unused]] void decodeScalar(const std::uint8_t* frame, std::uint8_t* pixels)
{
    for (std::size_t j = 0; j < kRowBytes; ++j) {
        const std::uint8_t* left = frame + 2 * kColumnBytes * j;
        const std::uint8_t* right = left + kColumnBytes;
        for (std::size_t m = 0; m < kColumnBytes; ++m) {
            const std::uint8_t a = left[m];
            const std::uint8_t b = right[m];
            pixels[2 * kRowBytes * m + j] = std::uint8_t((a & 0xF0) | (b >> 4));
            pixels[2 * kRowBytes * m + kRowBytes + j] = std::uint8_t((a << 4) | (b & 0x0F));
        }
    }
}

#if defined(__SSE2__)

// Transposes a 16x16 byte block: out[i] byte k = in[k] byte i.
inline void transpose16(__m128i r[16])
{
    __m128i t[16];
    for (int i = 0; i < 8; ++i) {
        t[2 * i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm_unpackhi_epi8(r[2 * i], r[2 * i + 1]);
    }
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 2; ++k) {
            r[4 * i + k] = _mm_unpacklo_epi16(t[4 * i + k], t[4 * i + k + 2]);
            r[4 * i + k + 2] = _mm_unpackhi_epi16(t[4 * i + k], t[4 * i + k + 2]);
        }
    }
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 4; ++k) {
            t[8 * i + k] = _mm_unpacklo_epi32(r[8 * i + k], r[8 * i + k + 4]);
            t[8 * i + k + 4] = _mm_unpackhi_epi32(r[8 * i + k], r[8 * i + k + 4]);
        }
    }
    for (int k = 0; k < 8; ++k) {
        r[k] = _mm_unpacklo_epi64(t[k], t[k + 8]);
        r[k + 8] = _mm_unpackhi_epi64(t[k], t[k + 8]);
    }
}

// The unpack stages leave the rows of the transposed block in bit-reversed order.
constexpr int kTransposedRow[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

void decodeSse2(const std::uint8_t* frame, std::uint8_t* pixels)
{
    const __m128i lowNibbles = _mm_set1_epi8(0x0F);
    const __m128i highNibbles = _mm_set1_epi8(static_cast<char>(0xF0));
    constexpr std::size_t kBlock = 16;
    for (std::size_t j0 = 0; j0 < kRowBytes; j0 += kBlock) {
        for (std::size_t m0 = 0; m0 < kColumnBytes; m0 += kBlock) {
            __m128i even[kBlock];
            __m128i odd[kBlock];
            for (std::size_t k = 0; k < kBlock; ++k) {
                const std::uint8_t* left = frame + 2 * kColumnBytes * (j0 + k) + m0;
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left + kColumnBytes));
                even[k] = _mm_or_si128(_mm_and_si128(a, highNibbles),
                                       _mm_and_si128(_mm_srli_epi16(b, 4), lowNibbles));
                odd[k] = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(a, 4), highNibbles),
                                      _mm_and_si128(b, lowNibbles));
            }
            transpose16(even);
            transpose16(odd);
            for (std::size_t i = 0; i < kBlock; ++i) {
                std::uint8_t* row = pixels + 2 * kRowBytes * (m0 + i) + j0;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row), even[kTransposedRow[i]]);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + kRowBytes), odd[kTransposedRow[i]]);
            }
        }
    }
}

#endif

}  // namespace

void FrameDecoder::decode(const std::uint8_t* frame, std::uint8_t* pixels)
{
#if defined(__SSE2__)
    decodeSse2(frame, pixels);
#else
    decodeScalar(frame, pixels);
#endif
}

}  // namespace korvane
