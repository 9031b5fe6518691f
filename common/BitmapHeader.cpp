// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "BitmapHeader.h"

#include "LittleEndian.h"

namespace korvane {

namespace {

// "BM", the first two bytes of every bitmap file.
constexpr std::uint16_t kBitmapType = 0x4D42;

std::uint32_t field32(std::string_view file, std::size_t at)
{
    return at + 4 <= file.size() ? readLe32(file.data() + at) : 0;
}

std::uint16_t field16(std::string_view file, std::size_t at)
{
    return at + 2 <= file.size() ? readLe16(file.data() + at) : 0;
}

}  // namespace

BitmapHeader BitmapHeader::read(std::string_view file)
{
    BitmapHeader header;
    header.bfType = field16(file, 0);
    header.bfOffBits = field32(file, 10);
    header.biSize = field32(file, 14);
    if (header.coreHeader()) {
        header.biWidth = field16(file, 18);
        header.biHeight = field16(file, 20);
        header.biPlanes = field16(file, 22);
        header.biBitCount = field16(file, 24);
    } else {
        header.biWidth = std::int32_t(field32(file, 18));
        header.biHeight = std::int32_t(field32(file, 22));
        header.biPlanes = field16(file, 26);
        header.biBitCount = field16(file, 28);
        header.biCompression = field32(file, 30);
        header.biClrUsed = field32(file, 46);
    }
    return header;
}

std::optional<std::string> BitmapHeader::check(std::int64_t fileBytes) const
{
    if (auto why = checkHeaders(fileBytes))
        return why;
    if (auto why = checkCoding())
        return why;
    if (auto why = checkSize())
        return why;
    return checkLayout(fileBytes);
}

std::optional<std::string> BitmapHeader::checkHeaders(std::int64_t fileBytes) const
{
    if (fileBytes < kFileHeaderBytes + kCoreInfoBytes)
        return "the file is too short to be a bitmap (" + std::to_string(fileBytes) + " bytes)";
    if (bfType != kBitmapType)
        return "the file does not start like a bitmap file";
    switch (biSize) {
    case kCoreInfoBytes:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124: break;
    default: return "unknown bitmap header size " + std::to_string(biSize);
    }
    if (kFileHeaderBytes + biSize > fileBytes)
        return "the bitmap header is cut short";
    return {};
}

std::optional<std::string> BitmapHeader::checkCoding() const
{
    const bool knownDepth = biBitCount == 1 || biBitCount == 4 || biBitCount == 8 || biBitCount == 24
        || (!coreHeader() && (biBitCount == 16 || biBitCount == 32));
    if (!knownDepth)
        return "unsupported colour depth of " + std::to_string(biBitCount) + " bits per pixel";
    switch (biCompression) {
    case 0: break;
    case 1:
        if (biBitCount != 8)
            return "8-bit run-length coding with " + std::to_string(biBitCount) + " bits per pixel";
        break;
    case 2:
        if (biBitCount != 4)
            return "4-bit run-length coding with " + std::to_string(biBitCount) + " bits per pixel";
        break;
    case 3:
        if (biBitCount != 16 && biBitCount != 32)
            return "colour masks with " + std::to_string(biBitCount) + " bits per pixel";
        break;
    default: return "unsupported compression " + std::to_string(biCompression);
    }
    if (runLength() && biHeight < 0)
        return "a top-down bitmap cannot be run-length coded";
    if (biPlanes != 1)
        return std::to_string(biPlanes) + " colour planes instead of 1";
    return {};
}

std::optional<std::string> BitmapHeader::checkSize() const
{
    const std::int64_t rows = this->rows();
    if (biWidth <= 0 || rows <= 0)
        return "the picture has no pixels (" + std::to_string(biWidth) + " x " + std::to_string(rows) + ")";
    if (biWidth > kMaxSide || rows > kMaxSide || biWidth * rows > kMaxPixels)
        return "the picture is too large (" + std::to_string(biWidth) + " x " + std::to_string(rows) + " pixels)";
    return {};
}

std::optional<std::string> BitmapHeader::checkLayout(std::int64_t fileBytes) const
{
    std::int64_t paletteEntries = biClrUsed;
    if (biBitCount <= 8) {
        const std::int64_t most = std::int64_t(1) << biBitCount;
        if (biClrUsed > most)
            return std::to_string(biClrUsed) + " palette entries for " + std::to_string(biBitCount) + " bits per pixel";
        if (biClrUsed == 0)
            paletteEntries = most;
    } else if (biClrUsed > 256) {
        return std::to_string(biClrUsed) + " palette entries";
    }
    // The old 40-byte info header keeps the three colour masks after itself.
    const std::int64_t maskBytes = biCompression == 3 && biSize == 40 ? 12 : 0;
    const std::int64_t headersEnd = kFileHeaderBytes + biSize + maskBytes;
    const std::int64_t paletteEntryBytes = coreHeader() ? 3 : 4;
    if (biBitCount <= 8 && headersEnd + paletteEntries * paletteEntryBytes > fileBytes)
        return "the palette is cut short";
    if (bfOffBits < headersEnd || bfOffBits >= fileBytes)
        return "the pixel data offset " + std::to_string(bfOffBits) + " lies outside the file";
    if (!runLength()) {
        // Each row is padded to a whole number of 32-bit words.
        const std::int64_t bytes = (biWidth * biBitCount + 31) / 32 * 4 * rows();
        if (bfOffBits + bytes > fileBytes)
            return "the pixel data is cut short: " + std::to_string(bytes) + " bytes expected, "
                + std::to_string(fileBytes - bfOffBits) + " present";
    }
    return {};
}

}  // namespace korvane
