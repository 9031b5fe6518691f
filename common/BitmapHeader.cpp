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
    header.type = field16(file, 0);
    header.pixelOffset = field32(file, 10);
    header.infoBytes = field32(file, 14);
    if (header.coreHeader()) {
        header.width = field16(file, 18);
        header.height = field16(file, 20);
        header.planes = field16(file, 22);
        header.bitCount = field16(file, 24);
    } else {
        header.width = std::int32_t(field32(file, 18));
        header.height = std::int32_t(field32(file, 22));
        header.planes = field16(file, 26);
        header.bitCount = field16(file, 28);
        header.compression = field32(file, 30);
        header.coloursUsed = field32(file, 46);
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
    if (type != kBitmapType)
        return "the file does not start like a bitmap file";
    switch (infoBytes) {
    case kCoreInfoBytes:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124: break;
    default: return "unknown bitmap header size " + std::to_string(infoBytes);
    }
    if (kFileHeaderBytes + infoBytes > fileBytes)
        return "the bitmap header is cut short";
    return {};
}

std::optional<std::string> BitmapHeader::checkCoding() const
{
    const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24
        || (!coreHeader() && (bitCount == 16 || bitCount == 32));
    if (!knownDepth)
        return "unsupported colour depth of " + std::to_string(bitCount) + " bits per pixel";
    switch (compression) {
    case 0: break;
    case 1:
        if (bitCount != 8)
            return "8-bit run-length coding with " + std::to_string(bitCount) + " bits per pixel";
        break;
    case 2:
        if (bitCount != 4)
            return "4-bit run-length coding with " + std::to_string(bitCount) + " bits per pixel";
        break;
    case 3:
        if (bitCount != 16 && bitCount != 32)
            return "colour masks with " + std::to_string(bitCount) + " bits per pixel";
        break;
    default: return "unsupported compression " + std::to_string(compression);
    }
    if (runLength() && height < 0)
        return "a top-down bitmap cannot be run-length coded";
    if (planes != 1)
        return std::to_string(planes) + " colour planes instead of 1";
    return {};
}

std::optional<std::string> BitmapHeader::checkSize() const
{
    const std::int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows <= 0)
        return "the picture has no pixels (" + std::to_string(width) + " x " + std::to_string(rows) + ")";
    if (width > kMaxSide || rows > kMaxSide || width * rows > kMaxPixels)
        return "the picture is too large (" + std::to_string(width) + " x " + std::to_string(rows) + " pixels)";
    return {};
}

std::optional<std::string> BitmapHeader::checkLayout(std::int64_t fileBytes) const
{
    std::int64_t paletteEntries = coloursUsed;
    if (bitCount <= 8) {
        const std::int64_t most = std::int64_t(1) << bitCount;
        if (coloursUsed > most)
            return std::to_string(coloursUsed) + " palette entries for " + std::to_string(bitCount) + " bits per pixel";
        if (coloursUsed == 0)
            paletteEntries = most;
    } else if (coloursUsed > 256) {
        return std::to_string(coloursUsed) + " palette entries";
    }
    // The old 40-byte info header keeps the three colour masks after itself.
    const std::int64_t maskBytes = compression == 3 && infoBytes == 40 ? 12 : 0;
    const std::int64_t headersEnd = kFileHeaderBytes + infoBytes + maskBytes;
    const std::int64_t paletteEntryBytes = coreHeader() ? 3 : 4;
    if (bitCount <= 8 && headersEnd + paletteEntries * paletteEntryBytes > fileBytes)
        return "the palette is cut short";
    if (pixelOffset < headersEnd || pixelOffset >= fileBytes)
        return "the pixel data offset " + std::to_string(pixelOffset) + " lies outside the file";
    if (!runLength()) {
        const std::int64_t rowBytes = (width * bitCount + 31) / 32 * 4;
        const std::int64_t rows = height < 0 ? -height : height;
        if (pixelOffset + rowBytes * rows > fileBytes)
            return "the pixel data is cut short: " + std::to_string(rowBytes * rows) + " bytes expected, "
                + std::to_string(fileBytes - pixelOffset) + " present";
    }
    return {};
}

}  // namespace korvane
