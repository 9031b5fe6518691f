// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "ScreenMessage.h"

#include "ScreenGeometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <zlib.h>

namespace korvane {
namespace {

// A snapshot whose every pixel tells where it is stored: stored row r (0 is
// the bottom line) holds the index (x + r) % 16, its palette entry i the
// blue, green, red 10 i, 10 i + 1, 10 i + 2.
std::string markedSnapshot()
{
    std::string file(kSnapshotBytes, '\0');
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        file[kPaletteOffset + 4 * i] = char(10 * i);
        file[kPaletteOffset + 4 * i + 1] = char(10 * i + 1);
        file[kPaletteOffset + 4 * i + 2] = char(10 * i + 2);
    }
    for (std::size_t r = 0; r < std::size_t(kScreenHeight); ++r)
        for (std::size_t x = 0; x < std::size_t(kScreenWidth); x += 2)
            file[kHeaderBytes + r * kRowBytes + x / 2] = char((((x + r) % 16) << 4) | ((x + 1 + r) % 16));
    return file;
}

TEST(ScreenMessage, CarriesTheScreenTopRowFirstWithItsPaletteAsRgb)
{
    const std::string message = ScreenMessage::encode(markedSnapshot());
    ASSERT_GT(message.size(), ScreenMessage::kPreambleBytes);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
    EXPECT_EQ(bytes[0], 'S');
    EXPECT_EQ(bytes[1] | bytes[2] << 8, 320);
    EXPECT_EQ(bytes[3] | bytes[4] << 8, 240);
    for (int i = 0; i < 16; ++i) {
        const std::vector<int> rgb(bytes + 5 + 3 * i, bytes + 8 + 3 * i);
        EXPECT_EQ(rgb, (std::vector<int>{10 * i + 2, 10 * i + 1, 10 * i})) << "red, green, blue of " << i;
    }

    std::vector<std::uint8_t> pixels(kRowBytes * kScreenHeight + 1);
    uLongf size = uLongf(pixels.size());
    ASSERT_EQ(::uncompress(pixels.data(), &size, bytes + ScreenMessage::kPreambleBytes,
                           uLong(message.size() - ScreenMessage::kPreambleBytes)),
              Z_OK);
    ASSERT_EQ(size, kRowBytes * kScreenHeight);
    // Message row y is the snapshot's stored row 239 - y; the left pixel of
    // a pair is the high nibble.
    for (std::size_t y : {0u, 1u, 120u, 239u})
        for (std::size_t x : {0u, 1u, 2u, 318u, 319u}) {
            const std::uint8_t pair = pixels[y * kRowBytes + x / 2];
            const unsigned index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
            EXPECT_EQ(index, (x + (239 - y)) % 16) << "x " << x << " y " << y;
        }

    // Nothing for what is no snapshot.
    EXPECT_TRUE(ScreenMessage::encode(std::string(kSnapshotBytes - 1, '\0')).empty());
    EXPECT_TRUE(ScreenMessage::encode(std::string(kSnapshotBytes + 1, '\0')).empty());
}

}  // namespace
}  // namespace korvane
