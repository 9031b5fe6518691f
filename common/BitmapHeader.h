// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The two headers at the start of a bitmap file, as the file states them.
// A bitmap file comes from another program and may be anything, so its
// headers are first read as they stand and then checked against the bytes
// really present, before any picture decoder sees them: a truncated or
// hostile file is refused with a reason instead of being read out of bounds
// or allocating gigabytes.
struct BitmapHeader {
    // The file header; the info header that follows it is 12 bytes (the old
    // form, 16-bit sizes, 3-byte palette entries) or 40 and more.
    static constexpr std::int64_t kFileHeaderBytes = 14;
    static constexpr std::int64_t kCoreInfoBytes = 12;
    // Largest picture accepted, in pixels per side and in total.
    static constexpr std::int64_t kMaxSide = 16384;
    static constexpr std::int64_t kMaxPixels = 25 * 1000 * 1000;

    // The fields as the file header and a 40-byte or longer info header
    // name them; the 12-byte info header's 16-bit sizes are read into biWidth
    // and biHeight, and its 3-byte palette entries are taken into account.
    std::uint16_t bfType = 0;         // "BM" read little-endian
    std::int64_t bfOffBits = 0;       // where the rows start, from the file's first byte
    std::int64_t biSize = 0;          // size of the info header
    std::int64_t biWidth = 0;         // pixels
    std::int64_t biHeight = 0;        // pixels; negative: the rows are stored top-down
    unsigned biPlanes = 0;            // 1 in every sane file
    unsigned biBitCount = 0;          // bits per pixel
    std::uint32_t biCompression = 0;  // 0 none, 1 and 2 run-length, 3 colour masks
    std::int64_t biClrUsed = 0;       // palette entries; 0 is all the depth allows

    // The headers at the start of file. A field the file is too short to
    // hold reads as 0; check() refuses such a file before it counts.
    static BitmapHeader read(std::string_view file);

    // Why a file of fileBytes bytes that starts with these headers is no
    // sane bitmap, or nothing when it passes every check: then its palette
    // and, unless run-length coded, all its rows lie within the file.
    std::optional<std::string> check(std::int64_t fileBytes) const;

    bool coreHeader() const { return biSize == kCoreInfoBytes; }
    std::int64_t rows() const { return biHeight < 0 ? -biHeight : biHeight; }
    // Run-length coded rows: their length is known only by decoding them.
    bool runLength() const { return !coreHeader() && (biCompression == 1 || biCompression == 2); }

private:
    std::optional<std::string> checkHeaders(std::int64_t fileBytes) const;
    std::optional<std::string> checkCoding() const;
    std::optional<std::string> checkSize() const;
    std::optional<std::string> checkLayout(std::int64_t fileBytes) const;
};

}  // namespace korvane
