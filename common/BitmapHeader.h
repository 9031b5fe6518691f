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

    std::uint16_t type = 0;        // "BM" read little-endian
    std::int64_t pixelOffset = 0;  // where the rows start, from the file's first byte
    std::int64_t infoBytes = 0;    // size of the info header
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative: the rows are stored top-down
    unsigned planes = 0;
    unsigned bitCount = 0;          // bits per pixel
    std::uint32_t compression = 0;  // 0 none, 1 and 2 run-length, 3 colour masks
    std::int64_t coloursUsed = 0;   // palette entries; 0 is all the depth allows

    // The headers at the start of file. A field the file is too short to
    // hold reads as 0; check() refuses such a file before it counts.
    static BitmapHeader read(std::string_view file);

    // Why a file of fileBytes bytes that starts with these headers is no
    // sane bitmap, or nothing when it passes every check: then its palette
    // and, unless run-length coded, all its rows lie within the file.
    std::optional<std::string> check(std::int64_t fileBytes) const;

    bool coreHeader() const { return infoBytes == kCoreInfoBytes; }
    // Run-length coded rows: their length is known only by decoding them.
    bool runLength() const { return !coreHeader() && (compression == 1 || compression == 2); }

private:
    std::optional<std::string> checkHeaders(std::int64_t fileBytes) const;
    std::optional<std::string> checkCoding() const;
    std::optional<std::string> checkSize() const;
    std::optional<std::string> checkLayout(std::int64_t fileBytes) const;
};

}  // namespace korvane
