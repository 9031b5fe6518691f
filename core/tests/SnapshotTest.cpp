// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "ScreenImage.h"
#include "SnapshotWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

using namespace korvane;

namespace {

std::uint8_t pixel(const std::uint8_t* rows, int x, int y)
{
    const std::uint8_t byte = rows[160 * y + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

}  // namespace

TEST(Snapshot, IsTheHeaderAndThePictureTurnedBy180Degrees)
{
    ScreenImage image;
    std::mt19937 random(11);
    for (auto& byte : image.frameBuffer())
        byte = std::uint8_t(random());
    image.publishFrame(0);

    std::ostringstream out;
    ASSERT_TRUE(image.read([&](const ScreenView& view) { SnapshotWriter::write(out, view); }));
    const std::string file = out.str();
    ASSERT_EQ(file.size(), 38518u);
    EXPECT_EQ(std::memcmp(file.data(), image.rawBuffer(), 118), 0) << "header as it stands";
    const std::uint8_t* stored = image.rawBuffer() + 118;
    const auto* rows = reinterpret_cast<const std::uint8_t*>(file.data()) + 118;
    for (int r = 0; r < 240; ++r) {
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(pixel(rows, x, r), pixel(stored, 319 - x, 239 - r)) << "x " << x << " r " << r;
    }
}
