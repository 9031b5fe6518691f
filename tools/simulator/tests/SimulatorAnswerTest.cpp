// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// The simulator over a real pseudo-terminal, with the test in the viewer's
// place: what is answered, how much, and when.
#include "TemporaryDirectory.h"
#include "ViewerPort.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <termios.h>

using namespace zls740sim;
using namespace zls740sim::test;

namespace {

constexpr int kDeadlineMs = 10000;
// Long enough for a stray answer to show up; a slow machine can only make
// the "nothing came" checks pass too easily, never fail them.
constexpr int kQuietMs = 200;
const std::array<std::uint8_t, 4> kRequest{0x57, 0x00, 0x00, 0x0A};

class SimulatorAnswerTest : public ::testing::Test {
protected:
    SimulatorOptions options()
    {
        SimulatorOptions o;
        o.linkDir = dir.path();
        o.comNumber = 7;
        return o;
    }
    std::vector<std::uint8_t> frameBytes(const Frame& frame, std::size_t count = kFrameBytes)
    {
        return {frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    TemporaryDirectory dir;
};

}  // namespace

TEST_F(SimulatorAnswerTest, LeavesTheTerminalSettingsToTheViewer)
{
    Zls740Simulator simulator(options());
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    const int fd = ::open(simulator.linkPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(fd, &settings), 0);
    // A viewer that forgets raw mode must notice: line editing and echo are on.
    EXPECT_TRUE(settings.c_lflag & ICANON);
    EXPECT_TRUE(settings.c_lflag & ECHO);
    ::close(fd);
}

TEST_F(SimulatorAnswerTest, AnswersARequestWithOneWholeFrame)
{
    SimulatorOptions o = options();
    o.lastFrameFile = dir.file("last.bin");
    o.reportFile = dir.file("report.txt");
    Zls740Simulator simulator(o);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    EXPECT_EQ(simulator.linkPath(), dir.file("COM7"));
    EXPECT_TRUE(simulator.linkUp());

    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    const auto answer = port.receive(kFrameBytes, kDeadlineMs);
    ASSERT_EQ(answer.size(), kFrameBytes);
    // Counted and stored before the last byte went out, so no waiting here.
    EXPECT_EQ(simulator.framesSent(), 1u);
    EXPECT_EQ(answer, frameBytes(simulator.lastFrame()));
    EXPECT_EQ(answer, frameBytes(drawFrame(0)));
    EXPECT_EQ(readFile(o.lastFrameFile), answer);
    EXPECT_TRUE(port.receive(1, kQuietMs).empty()) << "one answer per request";

    EXPECT_EQ(simulator.requests(), (std::vector{kRequest}));
    EXPECT_TRUE(waitUntil([&] { return readText(o.reportFile).find("frames 1\n") != std::string::npos; }));
    const std::string report = readText(o.reportFile);
    EXPECT_NE(report.find("requests 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\nrequest 57 00 00 0A\n"), std::string::npos) << report;
    EXPECT_NE(report.find("link up " + simulator.slavePath() + "\n"), std::string::npos) << report;
}

TEST_F(SimulatorAnswerTest, GroupsBytesIntoRequestsWhateverTheWrites)
{
    Zls740Simulator simulator(options());
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());

    ASSERT_EQ(port.send({0x57, 0x00}), 2);
    EXPECT_TRUE(waitUntil([&] { return simulator.pendingBytes().size() == 2; }));
    EXPECT_EQ(simulator.requestCount(), 0u);
    EXPECT_TRUE(port.receive(1, kQuietMs).empty()) << "half a request is not answered";
    ASSERT_EQ(port.send({0x00, 0x0A}), 2);
    EXPECT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
    EXPECT_EQ(simulator.requestCount(), 1u);
    EXPECT_TRUE(simulator.pendingBytes().empty());

    // Two requests in one write, whatever their bytes, get two answers; the
    // bytes are kept as they came.
    ASSERT_EQ(port.send({0x57, 0x00, 0x00, 0x0A, 0x01, 0x02, 0x03, 0x04, 0xEE}), 9);
    const auto answers = port.receive(2 * kFrameBytes, kDeadlineMs);
    ASSERT_EQ(answers.size(), 2 * kFrameBytes);
    EXPECT_EQ(std::vector(answers.begin() + kFrameBytes, answers.end()), frameBytes(drawFrame(2)));
    const auto requests = simulator.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], kRequest);
    EXPECT_EQ(requests[2], (std::array<std::uint8_t, 4>{0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(simulator.pendingBytes(), std::vector<std::uint8_t>{0xEE});
}

TEST_F(SimulatorAnswerTest, ShortAndLongAnswers)
{
    struct Case {
        std::size_t answerBytes;
        std::size_t frameBytesSent;
        std::size_t trailing;
    };
    for (const Case c : {Case{40959, 40959, 0}, Case{10, 10, 0}, Case{40963, kFrameBytes, 3}}) {
        SCOPED_TRACE(c.answerBytes);
        SimulatorOptions o = options();
        o.answerBytes = c.answerBytes;
        Zls740Simulator simulator(o);
        ASSERT_TRUE(simulator.start());
        ViewerPort port(simulator.linkPath());
        ASSERT_TRUE(port.isOpen());
        for (std::uint64_t n = 1; n <= 2; ++n) {
            ASSERT_EQ(port.sendRequest(), 4);
            const auto answer = port.receive(c.answerBytes, kDeadlineMs);
            ASSERT_EQ(answer.size(), c.answerBytes);
            EXPECT_TRUE(port.receive(1, kQuietMs).empty()) << "nothing beyond the answer";
            EXPECT_EQ(simulator.framesSent(), n) << "a short answer sent in full counts";
            const Frame frame = drawFrame(n - 1);
            EXPECT_EQ(simulator.lastFrame(), frame);
            EXPECT_EQ(std::vector(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(c.frameBytesSent)),
                      frameBytes(frame, c.frameBytesSent));
            EXPECT_EQ(std::vector(answer.begin() + static_cast<std::ptrdiff_t>(c.frameBytesSent), answer.end()),
                      std::vector<std::uint8_t>(c.trailing, 0xA5));
        }
    }
}

TEST_F(SimulatorAnswerTest, SilentCountsButNeverAnswers)
{
    SimulatorOptions o = options();
    o.silent = true;
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    ASSERT_EQ(port.sendRequest(), 4);
    EXPECT_TRUE(simulator.waitForRequests(2, kDeadlineMs));
    EXPECT_TRUE(port.receive(1, kQuietMs).empty());
    EXPECT_EQ(simulator.framesSent(), 0u);
}

TEST_F(SimulatorAnswerTest, StallSendsPartOfTheFirstAnswerAndThenNothing)
{
    SimulatorOptions o = options();
    o.stallAfterBytes = 1000;
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    const auto answer = port.receive(1000, kDeadlineMs);
    EXPECT_EQ(answer, frameBytes(drawFrame(0), 1000));
    EXPECT_TRUE(port.receive(1, kQuietMs).empty());
    ASSERT_EQ(port.sendRequest(), 4);
    EXPECT_TRUE(simulator.waitForRequests(2, kDeadlineMs)) << "requests are still counted";
    EXPECT_TRUE(port.receive(1, kQuietMs).empty());
    EXPECT_EQ(simulator.framesSent(), 0u);
}

TEST_F(SimulatorAnswerTest, ReplaysFramesInTurn)
{
    Frame first;
    Frame second;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        first[i] = static_cast<std::uint8_t>(i * 31);
        second[i] = static_cast<std::uint8_t>(i * 17 + 5);
    }
    SimulatorOptions o = options();
    o.replayFile = dir.file("frames.bin");
    {
        std::ofstream out(o.replayFile, std::ios::binary);
        out.write(reinterpret_cast<const char*>(first.data()), kFrameBytes);
        out.write(reinterpret_cast<const char*>(second.data()), kFrameBytes);
    }
    Zls740Simulator simulator(o);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    for (const Frame* expected : {&first, &second, &first}) {
        ASSERT_EQ(port.sendRequest(), 4);
        EXPECT_EQ(port.receive(kFrameBytes, kDeadlineMs), frameBytes(*expected));
        EXPECT_EQ(simulator.lastFrame(), *expected);
    }
}

TEST_F(SimulatorAnswerTest, RefusesAReplayFileThatIsNotWholeFrames)
{
    SimulatorOptions o = options();
    o.replayFile = dir.file("frames.bin");
    {
        std::ofstream out(o.replayFile, std::ios::binary);
        out << std::string(kFrameBytes + 1, 'x');
    }
    Zls740Simulator simulator(o);
    std::string error;
    EXPECT_FALSE(simulator.start(&error));
    EXPECT_NE(error.find("40961"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(simulator.linkPath())));
}

TEST_F(SimulatorAnswerTest, StreamsFramesToAViewerThatKeepsAsking)
{
    Zls740Simulator simulator(options());
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    std::vector<std::uint8_t> previous;
    for (std::uint64_t n = 0; n < 20; ++n) {
        ASSERT_EQ(port.sendRequest(), 4);
        const auto answer = port.receive(kFrameBytes, kDeadlineMs);
        ASSERT_EQ(answer.size(), kFrameBytes);
        EXPECT_NE(answer, previous) << "the picture moves";
        previous = answer;
    }
    EXPECT_EQ(simulator.framesSent(), 20u);
}

TEST_F(SimulatorAnswerTest, PacedAnswersTakeTheirTime)
{
    SimulatorOptions o = options();
    // A whole frame in about a quarter of a second.
    o.bytesPerSecond = 4.0 * kFrameBytes;
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(port.sendRequest(), 4);
    const auto answer = port.receive(kFrameBytes, kDeadlineMs);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_EQ(answer, frameBytes(drawFrame(0)));
    // Only a lower bound: a busy machine may well be slower.
    EXPECT_GE(seconds, 0.8 * 0.25) << "achieved " << kFrameBytes / seconds << " bytes/s";
}
