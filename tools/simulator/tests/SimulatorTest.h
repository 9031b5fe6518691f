// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "ViewerPort.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace zls740sim::test {

constexpr int kDeadlineMs = 10000;
// Long enough for a stray answer to show up; a slow machine can only make
// the "nothing came" checks pass too easily, never fail them.
constexpr int kQuietMs = 200;

inline std::vector<std::uint8_t> bytesOf(const Frame& frame, std::size_t count = kFrameBytes)
{
    return {frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(count)};
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool linkExists(const std::string& path)
{
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path));
}

// A simulator linked in a fresh folder, with the test in the viewer's place.
class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zls740sim-test-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    ~SimulatorTest() override
    {
        port.reset();
        simulator.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string file(const std::string& name) const { return dir + "/" + name; }
    SimulatorOptions options() const
    {
        SimulatorOptions o;
        o.linkDir = dir;
        return o;
    }
    // Starts a simulator (replacing any earlier one) and opens its link;
    // call through ASSERT_NO_FATAL_FAILURE.
    void serve(const SimulatorOptions& o)
    {
        port.reset();
        simulator = std::make_unique<Zls740Simulator>(o);
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        port = std::make_unique<ViewerPort>(simulator->linkPath());
        ASSERT_TRUE(port->isOpen());
    }
    // Sends one request and returns up to `count` bytes of what comes back.
    std::vector<std::uint8_t> ask(std::size_t count = kFrameBytes)
    {
        EXPECT_EQ(port->sendRequest(), 4);
        return port->receive(count, kDeadlineMs);
    }

    std::string dir;
    std::unique_ptr<Zls740Simulator> simulator;
    std::unique_ptr<ViewerPort> port;
};

}  // namespace zls740sim::test
