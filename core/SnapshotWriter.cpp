// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "SnapshotWriter.h"

#include <array>

namespace korvane {

namespace {

constexpr std::array<std::uint8_t, 256> makeNibbleSwap()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = std::uint8_t((i << 4) | (i >> 4));
    return table;
}

constexpr std::array<std::uint8_t, 256> kNibbleSwap = makeNibbleSwap();

}  // namespace

void SnapshotWriter::write(std::ostream& out, const ScreenView& screen)
{
    out.write(reinterpret_cast<const char*>(screen.imageBuffer), kHeaderBytes);
    std::array<std::uint8_t, kRowBytes> row;
    for (std::size_t r = 0; r < std::size_t(kScreenHeight); ++r) {
        const std::uint8_t* source = screen.pixelData + kRowBytes * (kScreenHeight - 1 - r);
        for (std::size_t j = 0; j < kRowBytes; ++j)
            row[kRowBytes - 1 - j] = kNibbleSwap[source[j]];
        out.write(reinterpret_cast<const char*>(row.data()), row.size());
    }
}

}  // namespace korvane
