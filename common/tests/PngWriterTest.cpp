// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "PngWriter.h"

#include "ChildProcess.h"
#include "HeaderTemplate.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace korvane;
using namespace korvane::test;

TEST(PngWriter, KeepsEveryPixelAndPaletteColourOfTheSnapshot)
{
    // Sixteen colours that differ in every channel, and a picture that uses
    // each of them in both nibbles and is different upside down and mirrored.
    std::string snapshot(38518, '\0');
    const HeaderBytes& header = HeaderTemplate::builtIn();
    std::copy(header.begin(), header.end(), snapshot.begin());
    for (int i = 0; i < 16; ++i) {
        snapshot[54 + 4 * i] = char(i * 16 + 1);       // blue
        snapshot[54 + 4 * i + 1] = char(255 - i * 7);  // green
        snapshot[54 + 4 * i + 2] = char(i * 13 + 40);  // red
    }
    for (int r = 0; r < 240; ++r)
        for (int j = 0; j < 160; ++j)
            snapshot[118 + 160 * r + j] = char(((r + j) % 16) << 4 | ((r * 3 + j * 5 + 1) % 16));

    std::ostringstream out;
    ASSERT_TRUE(PngWriter::write(out, snapshot));
    ScratchDir dir;
    writeFile(dir.file("picture.png"), out.str());
    writeFile(dir.file("snapshot.bmp"), snapshot);
    const std::vector<std::uint8_t> decoded = imageMagickPixels(dir.file("picture.png"));
    ASSERT_EQ(decoded.size(), 320u * 240u * 3u) << "ImageMagick could not read the file";
    EXPECT_TRUE(decoded == imageMagickPixels(dir.file("snapshot.bmp")));

    // Only a whole snapshot is taken.
    for (const std::size_t size : {std::size_t(0), std::size_t(38517), std::size_t(38519), std::size_t(41078)}) {
        std::ostringstream refused;
        EXPECT_FALSE(PngWriter::write(refused, std::string(size, '\x11')));
        EXPECT_TRUE(refused.str().empty());
    }
}
