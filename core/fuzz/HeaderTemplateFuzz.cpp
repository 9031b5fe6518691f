// Korvane - screen acquisition engine fuzzers.
// SPDX-License-Identifier: MIT
//
// header2.bin comes from outside and may hold anything. The input is cut
// into the two files a connect looks at, the working folder's and the one
// beside the program (the first byte says where, 255: the first is missing).
// Whatever they hold, the loader returns a usable header: the first 118 bytes
// of the first usable file, else the built-in copy; and isUsable() never
// reads past the bytes it is given.
#include "FuzzCheck.h"
#include "HeaderTemplate.h"
#include "TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const test::ScratchDir folder;

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
    const std::string workFile = folder.file("work-header2.bin");
    const std::string besideFile = folder.file("beside-header2.bin");
    replaceFile(workFile, first, firstSize, firstPresent);
    replaceFile(besideFile, second, secondSize, true);

    HeaderTemplate::Source source = HeaderTemplate::Source::File;
    const HeaderBytes loaded = HeaderTemplate::load({workFile, besideFile}, &source);
    check(HeaderTemplate::isUsable(loaded.data(), loaded.size()), "the loader returns a usable header");

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
