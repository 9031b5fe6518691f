// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "BmpWriter.h"

#include "LittleEndian.h"

#include <string>

namespace korvane {

namespace {

constexpr std::size_t kHeadersBytes = 14 + 40;
constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

unsigned bitsPerPixel(const Picture& picture)
{
    if (!picture.indexed() || picture.palette.size() > 256)
        return 24;
    return picture.palette.size() <= 16 ? 4 : 8;
}

std::string headers(const Picture& picture, unsigned bits, std::size_t rowBytes)
{
    const std::size_t entries = bits <= 8 ? picture.palette.size() : 0;
    const std::size_t pixelsAt = kHeadersBytes + 4 * entries;
    std::string head(pixelsAt, '\0');
    char* h = head.data();
    h[0] = 'B';
    h[1] = 'M';
    writeLe32(h + 2, std::uint32_t(pixelsAt + rowBytes * std::size_t(picture.height)));
    writeLe32(h + 10, std::uint32_t(pixelsAt));
    writeLe32(h + 14, 40);
    writeLe32(h + 18, std::uint32_t(picture.width));
    writeLe32(h + 22, std::uint32_t(picture.height));  // positive: bottom-up
    writeLe16(h + 26, 1);                              // planes
    writeLe16(h + 28, std::uint16_t(bits));
    writeLe32(h + 34, std::uint32_t(rowBytes * std::size_t(picture.height)));
    writeLe32(h + 38, kPixelsPerMetre);
    writeLe32(h + 42, kPixelsPerMetre);
    writeLe32(h + 46, std::uint32_t(entries));  // colours in the table
    writeLe32(h + 50, std::uint32_t(entries));  // all of them used
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t colour = picture.palette[i];
        char* entry = h + kHeadersBytes + 4 * i;  // blue, green, red, 0
        entry[0] = char(Picture::blue(colour));
        entry[1] = char(Picture::green(colour));
        entry[2] = char(Picture::red(colour));
    }
    return head;
}

void encodeRow(const Picture& picture, int y, unsigned bits, std::string& row)
{
    for (int x = 0; x < picture.width; ++x) {
        const std::size_t at = std::size_t(y) * std::size_t(picture.width) + std::size_t(x);
        if (bits == 4) {
            row[std::size_t(x / 2)] |= char(picture.indices[at] << (x % 2 ? 0 : 4));
        } else if (bits == 8) {
            row[std::size_t(x)] = char(picture.indices[at]);
        } else {
            const std::uint32_t colour = picture.colourAt(x, y);
            row[3 * std::size_t(x)] = char(Picture::blue(colour));
            row[3 * std::size_t(x) + 1] = char(Picture::green(colour));
            row[3 * std::size_t(x) + 2] = char(Picture::red(colour));
        }
    }
}

}  // namespace

bool BmpWriter::write(std::ostream& out, const Picture& picture)
{
    if (picture.empty())
        return false;
    const unsigned bits = bitsPerPixel(picture);
    // Each row padded to a whole number of 32-bit words.
    const std::size_t rowBytes = (std::size_t(picture.width) * bits + 31) / 32 * 4;
    out << headers(picture, bits, rowBytes);
    std::string row;
    for (int y = picture.height - 1; y >= 0 && out; --y) {
        row.assign(rowBytes, '\0');
        encodeRow(picture, y, bits, row);
        out << row;
    }
    return bool(out);
}

}  // namespace korvane
