// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// What the simulator answers over a real pseudo-terminal: the engine's tests trust these faults.
#include "CommonTestSupport.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace zls740sim;

namespace {

constexpr int kDeadlineMs = 10000;
// For a stray answer to show; a slow machine can only make "nothing came" pass too easily.
constexpr int kQuietMs = 200;

std::vector<std::uint8_t> bytesOf(const Frame& frame, std::size_t count = kFrameBytes)
{
    return {frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(count)};
}

// A simulator linked in a fresh folder; the test at the viewer's end (the slave device, raw).
class SimulatorAnswerTest : public ::testing::Test {
protected:
    ~SimulatorAnswerTest() override
    {
        if (fd >= 0)
            ::close(fd);
    }

    SimulatorOptions options() const
    {
        SimulatorOptions o;
        o.linkDir = dir.path().string();
        return o;
    }

    // Starts a simulator (replacing any earlier one) and opens its link; use ASSERT_NO_FATAL_FAILURE.
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

    // Up to `count` bytes, or what came within `timeoutMs`.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs)
    {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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

    korvane::test::ScratchDir dir;
    std::unique_ptr<Zls740Simulator> simulator;
    int fd = -1;
};

}  // namespace

TEST_F(SimulatorAnswerTest, AnswersAsToldOrNotAtAll)
{
    Frame replayed[2];
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        replayed[0][i] = static_cast<std::uint8_t>(i * 31);
        replayed[1][i] = static_cast<std::uint8_t>(i * 17 + 5);
    }
    const std::string replayFile = dir.file("frames.bin");
    korvane::test::writeFile(replayFile, std::string(reinterpret_cast<const char*>(replayed), sizeof replayed));
    std::vector<std::uint8_t> trailing = bytesOf(replayed[1]);
    trailing.insert(trailing.end(), 3, 0xA5);
    struct Case {
        const char* name;
        std::size_t answerBytes;
        bool silent;
        std::size_t stallAfterBytes;
        int faultEvery;
        bool replay;
        std::vector<std::uint8_t> answers[2];  // what the first and the second request get
        std::uint64_t framesSent;
    };
    const Case cases[] = {
        {"whole", kFrameBytes, false, 0, 0, false, {bytesOf(drawFrame(0)), bytesOf(drawFrame(1))}, 2},
        {"short", 40959, false, 0, 0, false, {bytesOf(drawFrame(0), 40959), bytesOf(drawFrame(1), 40959)}, 2},
        {"short every 2nd", 40959, false, 0, 2, false, {bytesOf(drawFrame(0)), bytesOf(drawFrame(1), 40959)}, 2},
        {"trailing every 2nd", 40963, false, 0, 2, true, {bytesOf(replayed[0]), trailing}, 2},
        {"silent", kFrameBytes, true, 0, 0, false, {}, 0},
        {"stall", kFrameBytes, false, 1000, 0, false, {bytesOf(drawFrame(0), 1000), {}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorOptions o = options();
        o.answerBytes = c.answerBytes;
        o.silent = c.silent;
        o.stallAfterBytes = c.stallAfterBytes;
        o.faultEvery = c.faultEvery;
        o.replayFile = c.replay ? replayFile : std::string();
        ASSERT_NO_FATAL_FAILURE(serve(o));
        // The first request comes in two halves: half a request is not answered.
        ASSERT_EQ(send({0x57, 0x00}), 2);
        EXPECT_TRUE(receive(1, kQuietMs).empty());
        for (std::uint64_t n = 0; n < 2; ++n) {
            ASSERT_EQ(n ? send({0x57, 0x00, 0x00, 0x0A}) : send({0x00, 0x0A}), n ? 4 : 2);
            if (!c.answers[n].empty()) {
                EXPECT_EQ(receive(c.answers[n].size(), kDeadlineMs), c.answers[n]);
            }
            EXPECT_TRUE(receive(1, kQuietMs).empty()) << "nothing beyond the answer";
            EXPECT_TRUE(simulator->waitForRequests(n + 1, kDeadlineMs)) << "every request is counted";
        }
        EXPECT_EQ(simulator->framesSent(), c.framesSent);
    }
}
