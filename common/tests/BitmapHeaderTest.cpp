// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "BitmapHeader.h"
#include "HeaderTemplate.h"
#include "LittleEndian.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace korvane;

namespace {

// Header fields set before the file is cut to `size` bytes (0 keeps them all).
struct Field {
    std::size_t at;
    std::uint32_t value;
    int bytes = 4;
};
struct Case {
    const char* name;
    std::vector<Field> fields;
    std::size_t size;
    const char* reason = "taken";
};

// The old 12-byte info header of the same picture, with 3-byte palette entries, so the rows start at 74.
const std::vector<Field> kOldHeader = {{14, 12}, {18, 320, 2}, {20, 240, 2}, {22, 1, 2}, {24, 4, 2}, {10, 74}};

// The verdict on the snapshot as the viewer writes it (118 header bytes with 16 colours, 240 rows of 160
// bytes) with the case's changes.
std::string verdict(const Case& c)
{
    std::string file(38518, '\x11');
    const HeaderBytes& header = HeaderTemplate::builtIn();
    std::copy(header.begin(), header.end(), file.begin());
    for (const Field& f : c.fields)
        f.bytes == 4 ? writeLe32(file.data() + f.at, f.value) : writeLe16(file.data() + f.at, f.value);
    if (c.size > 0)
        file.resize(c.size);
    return BitmapHeader::read(file).check(std::int64_t(file.size())).value_or("taken");
}

}  // namespace

TEST(BitmapHeader, TakesTheSnapshotAndTheOtherFormsOfASaneBitmap)
{
    const Case cases[] = {
        {"as the viewer writes it", {}, 0},
        {"top-down rows", {{22, std::uint32_t(-240)}}, 0},
        {"pixels right after the info header", {{10, 54}}, 0},
        {"run-length rows, whose length only decoding tells", {{30, 2}}, 300},
        {"old header", kOldHeader, 74 + 38400},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verdict(c), "taken") << c.name;
}

TEST(BitmapHeader, RefusesEachHostileHeaderWithItsReason)
{
    const Case cases[] = {
        {"too short", {}, 25, "the file is too short to be a bitmap (25 bytes)"},
        {"wrong magic", {{0, 'P', 2}}, 0, "the file does not start like a bitmap file"},
        {"unknown info header", {{14, 41}}, 0, "unknown bitmap header size 41"},
        {"info header cut short", {}, 53, "the bitmap header is cut short"},
        {"depth 3", {{28, 3, 2}}, 0, "unsupported colour depth of 3 bits per pixel"},
        {"depth 16 in the old header",
         {{14, 12}, {22, 1, 2}, {24, 16, 2}},
         0,
         "unsupported colour depth of 16 bits per pixel"},
        {"8-bit coding of 4-bit pixels", {{30, 1}}, 0, "8-bit run-length coding with 4 bits per pixel"},
        {"4-bit coding of 8-bit pixels", {{28, 8, 2}, {30, 2}}, 0, "4-bit run-length coding with 8 bits per pixel"},
        {"masks of 4-bit pixels", {{30, 3}}, 0, "colour masks with 4 bits per pixel"},
        {"unknown compression", {{30, 4}}, 0, "unsupported compression 4"},
        {"top-down run-length rows",
         {{22, std::uint32_t(-240)}, {30, 2}},
         0,
         "a top-down bitmap cannot be run-length coded"},
        {"two planes", {{26, 2, 2}}, 0, "2 colour planes instead of 1"},
        {"no width", {{18, 0}}, 0, "the picture has no pixels (0 x 240)"},
        {"huge width", {{18, 0x7FFFFFFF}}, 0, "the picture is too large (2147483647 x 240 pixels)"},
        {"most negative height", {{22, 0x80000000u}}, 0, "the picture is too large (320 x 2147483648 pixels)"},
        {"too many pixels in all", {{18, 16384}, {22, 1526}}, 0, "the picture is too large (16384 x 1526 pixels)"},
        {"17 colours of 4 bits", {{46, 17}}, 0, "17 palette entries for 4 bits per pixel"},
        {"257 colours of 24 bits", {{28, 24, 2}, {46, 257}}, 0, "257 palette entries"},
        {"palette cut short", {}, 117, "the palette is cut short"},
        {"pixels inside the info header", {{10, 53}}, 0, "the pixel data offset 53 lies outside the file"},
        {"pixels on the masks", {{28, 32, 2}, {30, 3}, {10, 60}}, 0, "the pixel data offset 60 lies outside the file"},
        {"pixels past the end", {{10, 38518}}, 0, "the pixel data offset 38518 lies outside the file"},
        {"rows cut short", {}, 38517, "the pixel data is cut short: 38400 bytes expected, 38399 present"},
        // Past a 3-byte palette, not a 4-byte one.
        {"old header's rows cut short", kOldHeader, 80, "the pixel data is cut short: 38400 bytes expected, 6 present"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verdict(c), c.reason) << c.name;
}
