// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "PlatformTexts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace korvane;

namespace {

// Every text a user of korvane-grab or korvane-serve may read about ports.
std::string allTexts()
{
    return std::string(PlatformTexts::portOption()) + PlatformTexts::noInstrumentCauses() + PlatformTexts::deniedHint()
        + PlatformTexts::deniedAdvice() + PlatformTexts::missingPortHint() + PlatformTexts::serveStops();
}

}  // namespace

// Each system's user is told about the ports and the cures of that system,
// never of the other.
TEST(PlatformTexts, SpeakOfThisSystemsPortsAndCures)
{
    const std::string texts = allTexts();
#ifdef _WIN32
    const std::vector<std::string> present{"COM3", "\\\\.\\COM12", "Device Manager", "Ctrl+C"};
    const std::vector<std::string> absent{"/dev/", "dialout", "SIGTERM", "group"};
#else
    const std::vector<std::string> present{"/dev/ttyUSB0", "dialout", "SIGTERM"};
    const std::vector<std::string> absent{"Device Manager", "\\\\.\\"};
#endif
    for (const std::string& word : present)
        EXPECT_NE(texts.find(word), std::string::npos) << word;
    for (const std::string& word : absent)
        EXPECT_EQ(texts.find(word), std::string::npos) << word;
}

// The help's lines stay within 80 columns and each ends its line, as the
// lines around them do.
TEST(PlatformTexts, PortOptionIsWholeLinesOfAtMost80Columns)
{
    const std::string option = PlatformTexts::portOption();
    ASSERT_FALSE(option.empty());
    EXPECT_EQ(option.back(), '\n');
    std::size_t start = 0;
    for (std::size_t end = option.find('\n'); end != std::string::npos; end = option.find('\n', start)) {
        EXPECT_LE(end - start, 80u) << option.substr(start, end - start);
        start = end + 1;
    }
}

// The device is shown beside the name only where it tells the user more
// than the name does.
TEST(PlatformTexts, PortShownAddsTheDeviceOnlyWhereItSaysMore)
{
    struct Case {
        const char* name;
        const char* device;
        const char* shown;
    };
#ifdef _WIN32
    const std::vector<Case> cases{
        {"COM5", "", "COM5"},
        {"COM12", "\\\\.\\COM12", "COM12"},
        {"com12", "\\\\.\\COM12", "com12"},
        {"\\\\.\\COM12", "\\\\.\\COM12", "\\\\.\\COM12"},
        {"COM5", "\\\\.\\COM15", "COM5 (\\\\.\\COM15)"},
    };
#else
    const std::vector<Case> cases{
        {"COM5", "", "COM5"},
        {"COM5", "/dev/ttyUSB0", "COM5 (/dev/ttyUSB0)"},
        {"/dev/ttyS0", "/dev/ttyS0", "/dev/ttyS0"},
    };
#endif
    for (const Case& c : cases)
        EXPECT_EQ(PlatformTexts::portShown(c.name, c.device), c.shown) << c.name << " " << c.device;
}
