// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ScreenMessage.h"

#include "ScreenGeometry.h"

#include <array>
#include <cstdint>
#include <zlib.h>

namespace korvane {

std::string ScreenMessage::encode(std::string_view snapshot)
{
    if (snapshot.size() != kSnapshotBytes)
        return {};
    const auto* file = reinterpret_cast<const std::uint8_t*>(snapshot.data());

    // The snapshot's rows are stored bottom-up, each packed as the message
    // packs them.
    std::array<std::uint8_t, kScreenHeight * kRowBytes> rows;
    for (std::size_t y = 0; y < std::size_t(kScreenHeight); ++y) {
        const std::uint8_t* row = file + kHeaderBytes + kRowBytes * (kScreenHeight - 1 - y);
        std::copy(row, row + kRowBytes, rows.begin() + std::ptrdiff_t(y * kRowBytes));
    }

    uLongf packedSize = ::compressBound(uLong(rows.size()));
    std::string message(ScreenMessage::kPreambleBytes + packedSize, '\0');
    auto* out = reinterpret_cast<std::uint8_t*>(message.data());
    out[0] = 'S';
    out[1] = std::uint8_t(kScreenWidth & 0xFF);
    out[2] = std::uint8_t(kScreenWidth >> 8);
    out[3] = std::uint8_t(kScreenHeight & 0xFF);
    out[4] = std::uint8_t(kScreenHeight >> 8);
    // The snapshot's palette entries are blue, green, red, reserved.
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const std::uint8_t* entry = file + kPaletteOffset + 4 * i;
        out[5 + 3 * i] = entry[2];
        out[6 + 3 * i] = entry[1];
        out[7 + 3 * i] = entry[0];
    }
    // The fastest level: a screen is sent 24 times a second and the larger
    // levels win little on it.
    if (::compress2(out + ScreenMessage::kPreambleBytes, &packedSize, rows.data(), uLong(rows.size()), 1) != Z_OK)
        return {};
    message.resize(ScreenMessage::kPreambleBytes + packedSize);
    return message;
}

}  // namespace korvane
