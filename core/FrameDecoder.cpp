// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "FrameDecoder.h"

#include "ScreenGeometry.h"

#if defined(__x86_64__) || defined(__i386__)
#define KORVANE_X86 1
#include <immintrin.h>
#endif

namespace korvane {

namespace {

// Two frame columns 2j and 2j+1 make byte j of every stored row: the high
// nibbles of their byte m make row 2m, the low nibbles row 2m+1.
void decodePortable(const std::uint8_t* frame, std::uint8_t* pixels)
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

#if defined(KORVANE_X86)

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
                even[k] = _mm_or_si128(_mm_and_si128(a, highNibbles), _mm_and_si128(_mm_srli_epi16(b, 4), lowNibbles));
                odd[k] = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(a, 4), highNibbles), _mm_and_si128(b, lowNibbles));
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

// Byte permutes across two registers make a 16x16 transpose two steps deep.
// A block holds 16 column pairs (four to a register, 16 bytes each) by 16
// bytes of the columns; the result holds 16 rows, four to a register.
struct Avx512Indices {
    std::uint8_t firstStep[2][64];
    std::uint8_t secondStep[2][64];
};

constexpr Avx512Indices makeAvx512Indices()
{
    Avx512Indices ix{};
    for (int half = 0; half < 2; ++half) {
        for (int b = 0; b < 64; ++b) {
            // Gather, from two input registers, what output rows 4q..4q+3
            // (q = 2*half + b/32) need of column pairs 0..7 of those registers.
            const int q = 2 * half + b / 32, t = (b % 32) / 8, k = b % 8;
            ix.firstStep[half][b] = std::uint8_t((k / 4) * 64 + 16 * (k % 4) + 4 * q + t);
            // Output byte 16t+k: pairs 0..7 from the first gathered register, 8..15 from the second.
            const int t2 = b / 16, k2 = b % 16;
            ix.secondStep[half][b] =
                std::uint8_t(k2 < 8 ? 32 * half + 8 * t2 + k2 : 64 + 32 * half + 8 * t2 + (k2 - 8));
        }
    }
    return ix;
}

constexpr Avx512Indices kAvx512Indices = makeAvx512Indices();

#define KORVANE_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

KORVANE_AVX512 inline __m512i loadFour(const std::uint8_t* first)
{
    __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first)));
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 2 * kColumnBytes)), 1);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 4 * kColumnBytes)), 2);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 6 * kColumnBytes)), 3);
    return v;
}

KORVANE_AVX512 inline void transposeAndStore(const __m512i in[4], std::uint8_t* rows)
{
    const __m512i first0 = _mm512_loadu_si512(kAvx512Indices.firstStep[0]);
    const __m512i first1 = _mm512_loadu_si512(kAvx512Indices.firstStep[1]);
    const __m512i second0 = _mm512_loadu_si512(kAvx512Indices.secondStep[0]);
    const __m512i second1 = _mm512_loadu_si512(kAvx512Indices.secondStep[1]);
    const __m512i x0 = _mm512_permutex2var_epi8(in[0], first0, in[1]);
    const __m512i x1 = _mm512_permutex2var_epi8(in[0], first1, in[1]);
    const __m512i y0 = _mm512_permutex2var_epi8(in[2], first0, in[3]);
    const __m512i y1 = _mm512_permutex2var_epi8(in[2], first1, in[3]);
    const __m512i out[4] = {_mm512_permutex2var_epi8(x0, second0, y0), _mm512_permutex2var_epi8(x0, second1, y0),
                            _mm512_permutex2var_epi8(x1, second0, y1), _mm512_permutex2var_epi8(x1, second1, y1)};
    for (int q = 0; q < 4; ++q) {
        std::uint8_t* row = rows + 2 * kRowBytes * 4 * q;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm512_castsi512_si128(out[q]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 2 * kRowBytes), _mm512_extracti32x4_epi32(out[q], 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * kRowBytes), _mm512_extracti32x4_epi32(out[q], 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 6 * kRowBytes), _mm512_extracti32x4_epi32(out[q], 3));
    }
}

KORVANE_AVX512 void decodeAvx512(const std::uint8_t* frame, std::uint8_t* pixels)
{
    const __m512i highNibbles = _mm512_set1_epi8(static_cast<char>(0xF0));
    // Bitwise "mask ? first : second".
    constexpr int kSelect = 0xE4;
    for (std::size_t j0 = 0; j0 < kRowBytes; j0 += 16) {
        for (std::size_t m0 = 0; m0 < kColumnBytes; m0 += 16) {
            __m512i even[4];
            __m512i odd[4];
            for (std::size_t r = 0; r < 4; ++r) {
                const std::uint8_t* left = frame + 2 * kColumnBytes * (j0 + 4 * r) + m0;
                const __m512i a = loadFour(left);
                const __m512i b = loadFour(left + kColumnBytes);
                even[r] = _mm512_ternarylogic_epi32(a, _mm512_srli_epi16(b, 4), highNibbles, kSelect);
                odd[r] = _mm512_ternarylogic_epi32(_mm512_slli_epi16(a, 4), b, highNibbles, kSelect);
            }
            std::uint8_t* rows = pixels + 2 * kRowBytes * m0 + j0;
            transposeAndStore(even, rows);
            transposeAndStore(odd, rows + kRowBytes);
        }
    }
}

#endif

}  // namespace

bool FrameDecoder::runsHere(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Portable: return true;
#if defined(KORVANE_X86)
    case Kernel::Sse2: return __builtin_cpu_supports("sse2");
    case Kernel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
            && __builtin_cpu_supports("avx512vbmi");
#else
    default: return false;
#endif
    }
    return false;
}

void FrameDecoder::decode(Kernel kernel, const std::uint8_t* frame, std::uint8_t* pixels)
{
    switch (kernel) {
#if defined(KORVANE_X86)
    case Kernel::Avx512: decodeAvx512(frame, pixels); return;
    case Kernel::Sse2: decodeSse2(frame, pixels); return;
#endif
    default: decodePortable(frame, pixels); return;
    }
}

void FrameDecoder::decode(const std::uint8_t* frame, std::uint8_t* pixels)
{
    static const Kernel fastest = runsHere(Kernel::Avx512) ? Kernel::Avx512
        : runsHere(Kernel::Sse2)                           ? Kernel::Sse2
                                                           : Kernel::Portable;
    decode(fastest, frame, pixels);
}

}  // namespace korvane
