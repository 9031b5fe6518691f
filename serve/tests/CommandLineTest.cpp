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

TEST(ServeCommandLine, DefaultsServeLoopbackAndRefuseStrangers)
{
    ServeCommandLine line;
    ASSERT_TRUE(ServeCommandLine::parse({}, line, nullptr));
    EXPECT_EQ(line.listenHost, "127.0.0.1");
    EXPECT_EQ(line.listenPort, 8740);
    ASSERT_TRUE(ServeCommandLine::parse({"--port", "COM5", "--mono"}, line, nullptr));
    EXPECT_TRUE(line.port == "COM5" && line.monochrome) << "the options the programs share are read";
    std::string error;
    EXPECT_FALSE(ServeCommandLine::parse({"COM5"}, line, &error));
}

}  // namespace
}  // namespace korvane
