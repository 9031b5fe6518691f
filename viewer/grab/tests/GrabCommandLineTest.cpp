// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
//
// korvane-grab's own rules; how values are read and refused in general is
// the option reader's test, exit codes and messages the program's.
#include "GrabCommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace korvane;

namespace {

using Arguments = std::vector<std::string>;

// What was read, or "refused: " and the reason.
std::string transcript(const Arguments& arguments)
{
    GrabCommandLine line;
    line.output = "untouched";
    std::string error;
    if (!GrabCommandLine::parse(arguments, line, &error)) {
        EXPECT_EQ(line.output, "untouched") << "a refused line leaves the result alone";
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
        return "refused: " + error;
    }
    std::ostringstream out;
    out << line.output << (line.format == ImageFormat::Png ? " png" : " bmp") << (line.monochrome ? " mono" : "")
        << (line.port.empty() ? "" : " port " + line.port);
    if (line.series)
        out << " series of " << line.count << " every " << line.intervalSeconds << " s";
    out << " timeout " << line.timeoutSeconds << (line.help ? " help" : "") << (line.version ? " version" : "");
    return out.str();
}

}  // namespace

TEST(GrabCommandLine, TellsTheFormatFromTheFileNameUnlessToldAndRefusesWithAReason)
{
    const std::pair<Arguments, std::string> rows[] = {
        {{"--output=Shot.PNG"}, "Shot.PNG png timeout 10"},
        {{"-o", "shot"}, "shot bmp timeout 10"},
        {{"-o", "-", "--format", "png"}, "- png timeout 10"},
        {{"--format=bmp", "-o", "shot.png", "--mono", "--port", "COM5"}, "shot.png bmp mono port COM5 timeout 10"},
        {{"--count=1", "-o", "-"}, "- bmp series of 1 every 1 s timeout 10"},
        {{"--count", "2", "--interval=2.5", "--timeout", "0.25", "-o", "s"}, "s bmp series of 2 every 2.5 s timeout 0.25"},
        {{"--help"}, " bmp timeout 10 help"},  // no image file needed
        {{}, "refused: no image file given"},
        {{"-o", "a.bmp", "b.bmp"}, "refused: unexpected argument b.bmp"},
        {{"-o", "shot.jpg"}, "refused: cannot tell the image format from shot.jpg"},
        {{"-o", "a.bmp", "--format", "jpg"}, "refused: option --format needs bmp or png"},
        {{"-o", "a.bmp", "--count", "0"}, "refused: option --count needs a whole number from 1"},
        {{"-o", "a.bmp", "--interval", "2"}, "refused: option --interval needs --count"},
        {{"-o", "a.bmp", "--timeout", "0"}, "refused: option --timeout needs a number of seconds, more than 0"},
        {{"-o", "a.bmp", "--baud", "12345"}, "refused: option --baud needs a rate the system can set"},
        {{"-o", "-", "--count", "2"}, "refused: a series of screens needs a file name"},
    };
    for (const auto& [arguments, expected] : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        // A reason may go on to say more.
        const std::string got = transcript(arguments);
        EXPECT_EQ(expected.starts_with("refused: ") ? got.substr(0, expected.size()) : got, expected);
    }
}
