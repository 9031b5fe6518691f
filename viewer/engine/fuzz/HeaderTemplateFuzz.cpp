// Korvane - screen acquisition engine fuzzers.
// SPDX-License-Identifier: MIT
//
// header2.bin comes from outside and may hold anything. The input is cut
// into the two files a connect looks at, the working folder's and the one
// beside the program (the first byte says where, 255: the first is missing).
// Whatever they hold, the loader returns a header the image can be painted
// and saved with: the first 118 bytes of the first usable file, else the
// built-in copy; and isUsable() never reads past the bytes it is given.
#include "FuzzCheck.h"
#include "HeaderTemplate.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <vector>

using namespace korvane;
using korvane::fuzz::check;

namespace {

void replaceFile(const std::string& path, const std::uint8_t* bytes, std::size_t size, bool present)
{
    std::filesystem::remove(path);
    if (!present)
        return;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    check(bool(out), "the scratch file can be written");
}

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t le16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

// What the image relies on, read here on its own: a BMP file header, a
// 40-byte info header, one plane of 4 bits uncompressed, pixels at 118, all
// 16 colours in use.
bool describesTheImage(const HeaderBytes& h)
{
    return h[0] == 'B' && h[1] == 'M' && le32(&h[10]) == kHeaderBytes && le32(&h[14]) == 40 && le16(&h[26]) == 1
        && le16(&h[28]) == 4 && le32(&h[30]) == 0 && (le32(&h[46]) == 0 || le32(&h[46]) == 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        return std::filesystem::path(pattern);
    }();

    // Exactly the bytes given: a read past them is an ASan report.
    const std::vector<std::uint8_t> alone(data, data + size);
    const bool usableAlone = HeaderTemplate::isUsable(alone.data(), alone.size());
    check(!usableAlone || size >= kHeaderBytes, "nothing shorter than a header is usable");

    if (size == 0)
        return 0;
    const bool firstPresent = data[0] != 255;
    const std::size_t firstSize = firstPresent ? std::min<std::size_t>(data[0], size - 1) : 0;
    const std::uint8_t* first = data + 1;
    const std::uint8_t* second = first + firstSize;
    const std::size_t secondSize = size - 1 - firstSize;
    const std::string workFile = (folder / "work-header2.bin").string();
    const std::string besideFile = (folder / "beside-header2.bin").string();
    replaceFile(workFile, first, firstSize, firstPresent);
    replaceFile(besideFile, second, secondSize, true);

    HeaderTemplate::Source source = HeaderTemplate::Source::File;
    const HeaderBytes loaded = HeaderTemplate::load({workFile, besideFile}, &source);
    check(HeaderTemplate::isUsable(loaded.data(), loaded.size()), "the loader returns a usable header");
    check(describesTheImage(loaded), "a usable header describes the image");

    const bool firstUsable = firstPresent && HeaderTemplate::isUsable(first, firstSize);
    const bool secondUsable = HeaderTemplate::isUsable(second, secondSize);
    if (firstUsable) {
        check(source == HeaderTemplate::Source::File, "a usable file is said to be used");
        check(std::memcmp(loaded.data(), first, kHeaderBytes) == 0, "the working folder's usable file wins");
    } else if (secondUsable) {
        check(source == HeaderTemplate::Source::File, "a usable file is said to be used");
        check(std::memcmp(loaded.data(), second, kHeaderBytes) == 0, "the file beside the program comes next");
    } else {
        check(source == HeaderTemplate::Source::BuiltIn, "with no usable file the built-in copy is said to be used");
        check(loaded == HeaderTemplate::builtIn(), "with no usable file the built-in copy is used");
    }
    return 0;
}
