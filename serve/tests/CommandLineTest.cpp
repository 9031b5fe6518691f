// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "ServeCommandLine.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(ServeCommandLine, ListenTakesHostAndPortWithIpv6InBrackets)
{
    const struct {
        const char* given;
        const char* host;
        unsigned short port;
    } good[] = {{"0.0.0.0:8740", "0.0.0.0", 8740}, {"[::1]:80", "::1", 80}, {"lab-pc:0", "lab-pc", 0}};
    for (const auto& c : good) {
        ServeCommandLine line;
        ASSERT_TRUE(ServeCommandLine::parse({"--listen", c.given}, line, nullptr)) << c.given;
        EXPECT_EQ(line.listenHost, c.host);
        EXPECT_EQ(line.listenPort, c.port);
    }
    for (const char* bad :
         {"8740", ":8740", "host:", "::1:8740", "[::1]8740", "[]:80", "host:65536", "host:-1", "host:80x"}) {
        ServeCommandLine line;
        std::string error;
        EXPECT_FALSE(ServeCommandLine::parse({"--listen", bad}, line, &error)) << bad;
        EXPECT_NE(error.find("--listen"), std::string::npos);
    }
}

TEST(ServeCommandLine, DefaultsServeLoopbackToAClassroom)
{
    ServeCommandLine line;
    ASSERT_TRUE(ServeCommandLine::parse({}, line, nullptr));
    EXPECT_EQ(line.listenHost, "127.0.0.1");
    EXPECT_EQ(line.listenPort, 8740);
    EXPECT_EQ(line.caps.viewers, 256u);
    EXPECT_GT(line.caps.connections, line.caps.viewers) << "room for requests beside every viewer";
    EXPECT_LT(line.caps.perAddress, line.caps.viewers) << "one machine cannot take them all";
}

TEST(ServeCommandLine, ReadsTheSharedOptionsAndRefusesAWord)
{
    ServeCommandLine line;
    ASSERT_TRUE(ServeCommandLine::parse({"--port", "COM5", "--mono"}, line, nullptr));
    EXPECT_TRUE(line.port == "COM5" && line.monochrome) << "the options the programs share are read";
    std::string error;
    EXPECT_FALSE(ServeCommandLine::parse({"COM5"}, line, &error));
}

TEST(ServeCommandLine, CapsTakeWholeNumbersFromOne)
{
    ServeCommandLine line;
    ASSERT_TRUE(ServeCommandLine::parse({"--max-connections", "40", "--max-viewers=30", "--max-per-address", "5"}, line,
                                        nullptr));
    EXPECT_EQ(line.caps.connections, 40u);
    EXPECT_EQ(line.caps.viewers, 30u);
    EXPECT_EQ(line.caps.perAddress, 5u);
    for (const char* bad : {"0", "-1", "x", "65537"}) {
        std::string error;
        EXPECT_FALSE(ServeCommandLine::parse({"--max-viewers", bad}, line, &error)) << bad;
        EXPECT_EQ(error, "option --max-viewers needs a whole number from 1 to 65536");
    }
}

}  // namespace
}  // namespace korvane
