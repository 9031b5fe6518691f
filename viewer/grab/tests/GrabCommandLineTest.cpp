// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#include "GrabCommandLine.h"

#include <gtest/gtest.h>

using namespace korvane;

namespace {

using Arguments = std::vector<std::string>;

struct Accepted {
    Arguments arguments;
    std::string port;
    std::string output;
    ImageFormat format;
    bool monochrome;
    bool series;
    int count;
    double intervalSeconds;
    double timeoutSeconds;
};

struct Refused {
    Arguments arguments;
    std::string reason;  // part of the one-line message
};

}  // namespace

TEST(GrabCommandLine, ReadsOptionsAndTellsTheFormatFromTheFileName)
{
    const ImageFormat bmp = ImageFormat::Bmp;
    const ImageFormat png = ImageFormat::Png;
    const Accepted rows[] = {
        {{"-o", "shot.bmp"}, "", "shot.bmp", bmp, false, false, 1, 1, 10},
        {{"--output=Shot.PNG"}, "", "Shot.PNG", png, false, false, 1, 1, 10},
        {{"-o", "shot"}, "", "shot", bmp, false, false, 1, 1, 10},
        {{"-o", "-", "--format", "png"}, "", "-", png, false, false, 1, 1, 10},
        {{"--format=bmp", "-o", "shot.png"}, "", "shot.png", bmp, false, false, 1, 1, 10},
        {{"--mono", "--port", "COM5", "-o", "a.bmp"}, "COM5", "a.bmp", bmp, true, false, 1, 1, 10},
        {{"--count=1", "-o", "-"}, "", "-", bmp, false, true, 1, 1, 10},
        {{"--count", "2", "--interval=2.5", "--timeout", "0.25", "-o", "s"}, "", "s", bmp, false, true, 2, 2.5, 0.25},
    };
    for (const Accepted& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        GrabCommandLine line;
        std::string error;
        ASSERT_TRUE(GrabCommandLine::parse(row.arguments, line, &error)) << error;
        EXPECT_EQ(line.port, row.port);
        EXPECT_EQ(line.output, row.output);
        EXPECT_EQ(line.format, row.format);
        EXPECT_EQ(line.monochrome, row.monochrome);
        EXPECT_EQ(line.series, row.series);
        EXPECT_EQ(line.count, row.count);
        EXPECT_DOUBLE_EQ(line.intervalSeconds, row.intervalSeconds);
        EXPECT_DOUBLE_EQ(line.timeoutSeconds, row.timeoutSeconds);
        EXPECT_FALSE(line.help || line.version);
    }

    // Help and version need no image file.
    GrabCommandLine line;
    ASSERT_TRUE(GrabCommandLine::parse({"--help"}, line, nullptr));
    EXPECT_TRUE(line.help);
    ASSERT_TRUE(GrabCommandLine::parse({"--version"}, line, nullptr));
    EXPECT_TRUE(line.version);
}

// How values are read and refused in general is the option reader's; these
// are korvane-grab's own rules.
TEST(GrabCommandLine, RefusesWhatItCannotUseWithAReason)
{
    const Refused rows[] = {
        {{}, "no image file given"},
        {{"-o", "a.bmp", "b.bmp"}, "unexpected argument b.bmp"},
        {{"-o", "shot.jpg"}, "cannot tell the image format from shot.jpg"},
        {{"-o", "a.bmp", "--format", "jpg"}, "option --format needs bmp or png"},
        {{"-o", "a.bmp", "--count", "0"}, "option --count needs a whole number from 1"},
        {{"-o", "a.bmp", "--count", "2", "--interval", "-1"}, "option --interval needs a number of seconds"},
        {{"-o", "a.bmp", "--interval", "2"}, "option --interval needs --count"},
        {{"-o", "a.bmp", "--timeout", "0"}, "option --timeout needs a number of seconds, more than 0"},
        {{"-o", "a.bmp", "--baud", "12345"}, "option --baud needs a rate the system can set"},
        {{"-o", "-", "--count", "2"}, "a series of screens needs a file name"},
    };
    for (const Refused& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        GrabCommandLine line;
        line.output = "untouched";
        std::string error;
        EXPECT_FALSE(GrabCommandLine::parse(row.arguments, line, &error));
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
        EXPECT_EQ(line.output, "untouched") << "a refused line leaves the result alone";
    }
}
