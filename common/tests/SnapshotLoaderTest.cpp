// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "SnapshotLoader.h"

#include "ChildProcess.h"
#include "RuntimeError.h"

#include <gtest/gtest.h>

#include <functional>

using namespace korvane;
using namespace korvane::pictorix;
using namespace korvane::test;

namespace {

std::string bitmap(const std::string& name)
{
    return std::string(KORVANE_TEST_BITMAPS) + "/" + name;
}

// The number of the RuntimeError that `action` raises, 0 if none; its text in `description`.
int raised(const std::function<void()>& action, std::string& description)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        description = error.description();
        return error.number();
    }
    return 0;
}

}  // namespace

TEST(SnapshotLoader, DecodesEachSaneFormAsImageMagickDoes)
{
    for (const char* name :
         {"snapshot.bmp", "1-bit.bmp", "4-bit.bmp", "8-bit-few-colours.bmp", "16-bit.bmp", "24-bit.bmp",
          "32-bit-masks.bmp", "32-bit-top-down.bmp", "core-header.bmp", "v5-header.bmp", "rle8.bmp"}) {
        const Picture picture = SnapshotLoader::load(bitmap(name));
        const std::vector<std::uint8_t> expected = imageMagickPixels(bitmap(name));
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(pictureRgb(picture), expected) << name;
    }
}

TEST(SnapshotLoader, PixelsTheFileLeavesOpenAreIndexZeroAndColoursPastItsTableBlack)
{
    // Runs that jump over pixels and end early; a two-colour table whose pixels use up to index 15.
    const Picture jumped = SnapshotLoader::load(bitmap("rle4-jump-skips-pixels.bmp"));
    EXPECT_EQ(jumped.indices, (std::vector<std::uint8_t>{0, 5, 6, 0, 0, 0, 1, 2, 1, 2, 0, 0}));
    const Picture ended = SnapshotLoader::load(bitmap("rle8-ends-early.bmp"));
    EXPECT_EQ(ended.indices, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 0, 0, 0}));
    const Picture past = SnapshotLoader::load(bitmap("4-bit-pixels-past-the-colour-table.bmp"));
    EXPECT_EQ(past.indices, (std::vector<std::uint8_t>{2, 1, 15, 15, 0, 15, 3, 10}));
    std::vector<std::uint32_t> palette(16, Picture::rgb(0, 0, 0));
    palette[0] = Picture::rgb(255, 0, 0);
    palette[1] = Picture::rgb(0, 255, 0);
    EXPECT_EQ(past.palette, palette);
}

TEST(SnapshotLoader, RefusesWhatIsNoSaneBitmapFileWithItsNumberAndReason)
{
    ScratchDir dir;
    const std::string snapshot = fileContents(bitmap("snapshot.bmp"));
    const struct {
        const char* name;
        std::string bytes;  // of Temp.bmp; none for a missing file
        int number;
        std::string description;  // after the path
    } cases[] = {
        {"missing", {}, 53, ""},
        {"empty", "", 481, " (the file is too short to be a bitmap (0 bytes))"},
        {"pixels cut short", snapshot.substr(0, snapshot.size() - 1), 481,
         " (the pixel data is cut short: 38400 bytes expected, 38399 present)"},
        {"runs cut short", fileContents(bitmap("rle8.bmp")).substr(0, 1086), 481,
         " (the run-length coded pixels end before the picture does)"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(std::string(c.name) + ".bmp");
        if (c.number != 53)
            writeFile(path, c.bytes);
        std::string description;
        EXPECT_EQ(raised([&] { SnapshotLoader::load(path); }, description), c.number) << c.name;
        const char* what = c.number == 53 ? "File not found: " : "Invalid picture: ";
        EXPECT_EQ(description, what + path + c.description) << c.name;
    }
    std::string description;
    EXPECT_EQ(raised([&] { SnapshotLoader::load(dir.folder("Temp.bmp")); }, description), 75);
    EXPECT_EQ(description, "Path/File access error: " + dir.file("Temp.bmp"));
}
