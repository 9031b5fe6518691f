// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "PngWriter.h"

#include "ScreenGeometry.h"

#include <cstdint>
#include <vector>
#include <zlib.h>

namespace korvane {

namespace {

using Bytes = std::vector<std::uint8_t>;

void putBe32(Bytes& bytes, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(std::uint8_t(value >> shift));
}

void writeChunk(std::ostream& out, const char (&type)[5], const Bytes& data)
{
    Bytes chunk;
    putBe32(chunk, std::uint32_t(data.size()));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    // The check sum covers the type and the data, not the length.
    putBe32(chunk, std::uint32_t(::crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))));
    out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(chunk.size()));
}

}  // namespace

bool PngWriter::write(std::ostream& out, std::string_view snapshot)
{
    if (snapshot.size() != kSnapshotBytes)
        return false;
    const auto* file = reinterpret_cast<const std::uint8_t*>(snapshot.data());

    Bytes header;
    putBe32(header, kScreenWidth);
    putBe32(header, kScreenHeight);
    // 4 bits a pixel, indexed colour, deflate, no filtering, not interlaced.
    header.insert(header.end(), {4, 3, 0, 0, 0});

    // The snapshot's palette entries are blue, green, red, reserved.
    Bytes palette;
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const std::uint8_t* entry = file + kPaletteOffset + 4 * i;
        palette.insert(palette.end(), {entry[2], entry[1], entry[0]});
    }

    // A snapshot row packs its pixels exactly as a PNG row does (the left
    // pixel in the high nibble); only the row order differs, the bitmap
    // being stored bottom-up. Each row is led by filter type 0 (none).
    Bytes rows;
    rows.reserve(kScreenHeight * (kRowBytes + 1));
    for (std::size_t y = 0; y < std::size_t(kScreenHeight); ++y) {
        const std::uint8_t* row = file + kHeaderBytes + kRowBytes * (kScreenHeight - 1 - y);
        rows.push_back(0);
        rows.insert(rows.end(), row, row + kRowBytes);
    }
    uLongf packedSize = ::compressBound(uLong(rows.size()));
    Bytes packed(packedSize);
    if (::compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);

    static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    out.write(signature, sizeof signature);
    writeChunk(out, "IHDR", header);
    writeChunk(out, "PLTE", palette);
    writeChunk(out, "IDAT", packed);
    writeChunk(out, "IEND", {});
    return true;
}

}  // namespace korvane
