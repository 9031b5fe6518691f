// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zls740sim::test {

constexpr int kDeadlineMs = 10000;
// Long enough for a stray answer to show up; a slow machine can only make
// the "nothing came" checks pass too easily, never fail them.
constexpr int kQuietMs = 200;

inline std::vector<std::uint8_t> bytesOf(const Frame& frame, std::size_t count = kFrameBytes)
{
    return {frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(count)};
}

// A simulator linked in a fresh folder, with the test at the viewer's end of
// the link (the slave device, in raw mode).
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
        if (fd >= 0)
            ::close(fd);
        simulator.reset();
        std::filesystem::remove_all(dir);
    }

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
        if (fd >= 0)
            ::close(fd);
        simulator = std::make_unique<Zls740Simulator>(o);
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        fd = ::open(simulator->linkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        termios settings{};
        ::tcgetattr(fd, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }

    ssize_t send(const std::vector<std::uint8_t>& bytes) { return ::write(fd, bytes.data(), bytes.size()); }
    ssize_t sendRequest() { return send({0x57, 0x00, 0x00, 0x0A}); }

    // Up to `count` bytes, or what came within `timeoutMs`.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs)
    {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                break;
            std::uint8_t buffer[8192];
            const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

    std::string dir;
    std::unique_ptr<Zls740Simulator> simulator;
    int fd = -1;
};

}  // namespace zls740sim::test
