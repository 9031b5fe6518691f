// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "BitmapDecoder.h"

#include "LittleEndian.h"

#include <algorithm>
#include <bit>

namespace korvane {

namespace {

// The file's bytes, read as unsigned; the checks have placed every byte
// read below within the file.
struct Bytes {
    std::string_view file;
    std::uint8_t operator[](std::int64_t at) const { return std::uint8_t(file[std::size_t(at)]); }
    std::uint32_t le16(std::int64_t at) const { return readLe16(file.data() + at); }
    std::uint32_t le32(std::int64_t at) const { return readLe32(file.data() + at); }
};

// Where the colour masks of 16- and 32-bit pixels stand: right after the
// 40-byte info header, which the longer headers hold themselves.
constexpr std::int64_t kMasksAt = 54;

std::vector<std::uint32_t> readPalette(Bytes bytes, const BitmapHeader& header)
{
    const std::int64_t entries = header.biClrUsed > 0 ? header.biClrUsed : std::int64_t(1) << header.biBitCount;
    const std::int64_t entryBytes = header.coreHeader() ? 3 : 4;
    const std::int64_t at = BitmapHeader::kFileHeaderBytes + header.biSize;
    std::vector<std::uint32_t> palette;
    for (std::int64_t i = 0; i < entries; ++i) {
        const std::int64_t entry = at + i * entryBytes;  // blue, green, red
        palette.push_back(Picture::rgb(bytes[entry + 2], bytes[entry + 1], bytes[entry]));
    }
    return palette;
}

// One channel of a masked pixel, scaled to 0..255 whatever the mask's width.
std::uint32_t channel(std::uint32_t value, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const std::uint64_t most = mask >> shift;
    return std::uint32_t((((value & mask) >> shift) * 255 + most / 2) / most);
}

struct Masks {
    std::uint32_t red, green, blue;
};

Masks masksOf(Bytes bytes, const BitmapHeader& header)
{
    if (header.biCompression == 3)
        return {bytes.le32(kMasksAt), bytes.le32(kMasksAt + 4), bytes.le32(kMasksAt + 8)};
    if (header.biBitCount == 16)
        return {0x7C00, 0x03E0, 0x001F};
    return {0xFF0000, 0xFF00, 0xFF};
}

void decodeRows(Bytes bytes, const BitmapHeader& header, Picture& picture)
{
    const unsigned bits = header.biBitCount;
    const std::int64_t stride = (header.biWidth * bits + 31) / 32 * 4;
    const Masks masks = masksOf(bytes, header);
    for (int stored = 0; stored < picture.height; ++stored) {
        const int y = header.biHeight > 0 ? picture.height - 1 - stored : stored;
        const std::int64_t row = header.bfOffBits + stored * stride;
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(picture.width) + std::size_t(x);
            switch (bits) {
            case 1: picture.indices[at] = (bytes[row + x / 8] >> (7 - x % 8)) & 1; break;
            case 4: picture.indices[at] = (bytes[row + x / 2] >> (x % 2 ? 0 : 4)) & 0xF; break;
            case 8: picture.indices[at] = bytes[row + x]; break;
            case 24:
                picture.colours[at] = Picture::rgb(bytes[row + 3 * x + 2], bytes[row + 3 * x + 1], bytes[row + 3 * x]);
                break;
            default: {
                const std::uint32_t value = bits == 16 ? bytes.le16(row + 2 * x) : bytes.le32(row + 4 * x);
                picture.colours[at] =
                    Picture::rgb(channel(value, masks.red), channel(value, masks.green), channel(value, masks.blue));
            }
            }
        }
    }
}

// Run-length coded rows, stored bottom-up: pairs of a count and a value
// (a run), or 0 and a code: 0 end of line, 1 end of picture, 2 a jump right
// and up, 3 and more that many pixels as they stand, padded to 16 bits.
std::optional<std::string> decodeRuns(Bytes bytes, const BitmapHeader& header, Picture& picture)
{
    const bool fourBits = header.biCompression == 2;
    const std::int64_t end = std::int64_t(bytes.file.size());
    std::int64_t at = header.bfOffBits;
    std::int64_t x = 0, stored = 0;
    const auto put = [&](std::uint8_t index) {
        if (x < picture.width && stored < picture.height)
            picture.indices[std::size_t(picture.height - 1 - stored) * std::size_t(picture.width) + std::size_t(x)] =
                index;
        ++x;
    };
    while (stored < picture.height) {
        if (at + 2 > end)
            return "the run-length coded pixels end before the picture does";
        const std::uint8_t count = bytes[at], value = bytes[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < picture.width; ++i)
                put(fourBits ? (i % 2 ? value & 0xF : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++stored;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (at + 2 > end)
                return "the run-length coded pixels end before the picture does";
            x += bytes[at];
            stored += bytes[at + 1];
            at += 2;
        } else {
            const std::int64_t dataBytes = fourBits ? (value + 1) / 2 : value;
            if (at + dataBytes > end)
                return "the run-length coded pixels end before the picture does";
            for (int i = 0; i < value; ++i)
                put(fourBits ? (i % 2 ? bytes[at + i / 2] & 0xF : bytes[at + i / 2] >> 4) : bytes[at + i]);
            at += dataBytes + dataBytes % 2;
        }
    }
    return {};
}

// Indices past the end of the table name black.
void completePalette(Picture& picture)
{
    const std::uint8_t highest = *std::max_element(picture.indices.begin(), picture.indices.end());
    if (highest >= picture.palette.size())
        picture.palette.resize(std::size_t(highest) + 1, Picture::rgb(0, 0, 0));
}

}  // namespace

std::optional<std::string> BitmapDecoder::decode(std::string_view file, const BitmapHeader& header, Picture& picture)
{
    const Bytes bytes{file};
    Picture decoded;
    decoded.width = int(header.biWidth);
    decoded.height = int(header.rows());
    const std::size_t pixels = std::size_t(decoded.width) * std::size_t(decoded.height);
    if (header.biBitCount <= 8) {
        decoded.palette = readPalette(bytes, header);
        decoded.indices.assign(pixels, 0);
    } else {
        decoded.colours.assign(pixels, 0);
    }
    if (header.runLength()) {
        if (auto why = decodeRuns(bytes, header, decoded))
            return why;
    } else {
        decodeRows(bytes, header, decoded);
    }
    if (decoded.indexed())
        completePalette(decoded);
    picture = std::move(decoded);
    return {};
}

}  // namespace korvane
