// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "BmpWriter.h"
#include "PcxWriter.h"

#include "ChildProcess.h"
#include "SnapshotLoader.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace korvane;
using namespace korvane::test;

namespace {

// An indexed picture of `colours` colours whose pixel (x, y) is index(x, y).
Picture indexed(int width, int height, int colours, std::uint8_t (*index)(int x, int y))
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    for (int i = 0; i < colours; ++i)
        picture.palette.push_back(Picture::rgb(i * 37, 255 - i, i * 11 + 3));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.indices.push_back(index(x, y));
    return picture;
}

}  // namespace

TEST(BmpWriter, WritesTheSnapshotBackAsTheViewerWroteIt)
{
    const std::string file = fileContents(std::string(KORVANE_TEST_BITMAPS) + "/snapshot.bmp");
    std::ostringstream out;
    ASSERT_TRUE(BmpWriter::write(out, pictorix::SnapshotLoader::decode(file, "snapshot")));
    EXPECT_TRUE(out.str() == file);
}

TEST(PictureWriters, KeepEveryPixelAsImageMagickReadsItBack)
{
    // Odd widths (padded rows and lines), runs longer than a PCX run holds,
    // and single bytes that a PCX reader would take for run counts.
    Picture direct;
    direct.width = 71;
    direct.height = 3;
    for (int i = 0; i < 71 * 3; ++i)
        direct.colours.push_back(i < 71 ? Picture::rgb(200, 201, 202) : Picture::rgb(i * 5, 255 - i, i % 2 ? 0xC1 : 7));
    const Picture pictures[] = {
        indexed(7, 5, 16, [](int x, int y) { return std::uint8_t((x * 3 + y * 5) % 16); }),
        indexed(71, 3, 256, [](int x, int y) { return std::uint8_t(y == 0       ? 200
                                                                       : y == 1 ? 192 + x % 2
                                                                                : x * 3); }),
        direct,
    };
    ScratchDir dir;
    for (const Picture& picture : pictures) {
        for (const auto& [extension, write] : {std::pair{".bmp", &BmpWriter::write}, {".pcx", &PcxWriter::write}}) {
            const std::string path = dir.file(std::to_string(picture.palette.size()) + extension);
            std::ostringstream out;
            ASSERT_TRUE(write(out, picture)) << path;
            writeFile(path, out.str());
            EXPECT_EQ(imageMagickPixels(path), pictureRgb(picture)) << path;
        }
    }
}
