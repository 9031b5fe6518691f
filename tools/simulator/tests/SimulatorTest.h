// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "TemporaryDirectory.h"
#include "ViewerPort.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

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

// A simulator linked in a fresh folder, with the test in the viewer's place.
class SimulatorTest : public ::testing::Test {
protected:
    SimulatorOptions options() const
    {
        SimulatorOptions o;
        o.linkDir = dir.path();
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
    bool linkExists() const
    {
        return std::filesystem::is_symlink(std::filesystem::symlink_status(simulator->linkPath()));
    }

    TemporaryDirectory dir;
    std::unique_ptr<Zls740Simulator> simulator;
    std::unique_ptr<ViewerPort> port;
};

}  // namespace zls740sim::test
