// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// What the simulator answers over a real pseudo-terminal, and how much.
#include "SimulatorTest.h"

#include <chrono>
#include <fstream>

using namespace zls740sim;
using namespace zls740sim::test;

using SimulatorAnswerTest = SimulatorTest;

TEST_F(SimulatorAnswerTest, AnswersARequestSplitInTwoWithOneWholeFrame)
{
    SimulatorOptions o = options();
    o.lastFrameFile = file("last.bin");
    o.reportFile = file("report.txt");
    ASSERT_NO_FATAL_FAILURE(serve(o));

    ASSERT_EQ(port->send({0x57, 0x00}), 2);
    ASSERT_TRUE(waitUntil([&] { return simulator->pendingBytes().size() == 2; }));
    EXPECT_TRUE(port->receive(1, kQuietMs).empty()) << "half a request is not answered";
    ASSERT_EQ(port->send({0x00, 0x0A}), 2);
    const auto answer = port->receive(kFrameBytes, kDeadlineMs);
    ASSERT_EQ(answer.size(), kFrameBytes);
    EXPECT_TRUE(port->receive(1, kQuietMs).empty()) << "one frame and no more";
    // Published before the last byte went out, so no waiting here.
    EXPECT_EQ(answer, bytesOf(simulator->lastFrame()));
    EXPECT_EQ(readFile(o.lastFrameFile), std::string(answer.begin(), answer.end()));
    EXPECT_TRUE(waitUntil([&] { return readFile(o.reportFile).starts_with("requests 1\nframes 1\n"); }))
        << readFile(o.reportFile);
}

TEST_F(SimulatorAnswerTest, AnswersAsToldOrNotAtAll)
{
    Frame replayed[2];
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        replayed[0][i] = static_cast<std::uint8_t>(i * 31);
        replayed[1][i] = static_cast<std::uint8_t>(i * 17 + 5);
    }
    const std::string replayFile = file("frames.bin");
    std::ofstream(replayFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(replayed), sizeof replayed);
    const auto withTrailing = [](const Frame& frame) {
        std::vector<std::uint8_t> bytes = bytesOf(frame);
        bytes.insert(bytes.end(), 3, 0xA5);
        return bytes;
    };

    struct Case {
        const char* name;
        std::size_t answerBytes;
        bool silent;
        std::size_t stallAfterBytes;
        int faultEvery;
        bool replay;
        // What the first and the second request get.
        std::vector<std::uint8_t> answers[2];
        std::uint64_t framesSent;
    };
    const Case cases[] = {
        {"short", 40959, false, 0, 0, false, {bytesOf(drawFrame(0), 40959), bytesOf(drawFrame(1), 40959)}, 2},
        {"trailing", 40963, false, 0, 0, false, {withTrailing(drawFrame(0)), withTrailing(drawFrame(1))}, 2},
        {"short every 2nd", 40959, false, 0, 2, false, {bytesOf(drawFrame(0)), bytesOf(drawFrame(1), 40959)}, 2},
        {"trailing every 2nd", 40963, false, 0, 2, true, {bytesOf(replayed[0]), withTrailing(replayed[1])}, 2},
        {"silent", kFrameBytes, true, 0, 0, false, {}, 0},
        {"stall", kFrameBytes, false, 1000, 0, false, {bytesOf(drawFrame(0), 1000), {}}, 0},
        {"replay", kFrameBytes, false, 0, 0, true, {bytesOf(replayed[0]), bytesOf(replayed[1])}, 2},
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
        for (std::uint64_t n = 0; n < 2; ++n) {
            ASSERT_EQ(port->sendRequest(), 4);
            if (!c.answers[n].empty()) {
                EXPECT_EQ(port->receive(c.answers[n].size(), kDeadlineMs), c.answers[n]);
            }
            EXPECT_TRUE(port->receive(1, kQuietMs).empty()) << "nothing beyond the answer";
            EXPECT_TRUE(simulator->waitForRequests(n + 1, kDeadlineMs)) << "every request is counted";
        }
        EXPECT_EQ(simulator->framesSent(), c.framesSent);
    }
}

TEST_F(SimulatorAnswerTest, PacedAnswersTakeTheirTime)
{
    SimulatorOptions o = options();
    // A whole frame in about a quarter of a second.
    o.bytesPerSecond = 4.0 * kFrameBytes;
    ASSERT_NO_FATAL_FAILURE(serve(o));
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(ask().size(), kFrameBytes);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    // Only a lower bound: a busy machine may well be slower.
    EXPECT_GE(seconds, 0.8 * 0.25) << "achieved " << kFrameBytes / seconds << " bytes/s";
}

TEST_F(SimulatorAnswerTest, HoldsTrailingBytesBackWhenTold)
{
    SimulatorOptions o = options();
    o.answerBytes = kFrameBytes + 3;
    o.trailingAfterMs = 1000;
    ASSERT_NO_FATAL_FAILURE(serve(o));
    EXPECT_EQ(ask(), bytesOf(drawFrame(0)));
    EXPECT_EQ(simulator->framesSent(), 1u) << "counted once the frame is out";
    EXPECT_TRUE(port->receive(1, kQuietMs).empty()) << "the trailing bytes wait";
    EXPECT_EQ(port->receive(3, kDeadlineMs), std::vector<std::uint8_t>(3, 0xA5));
    EXPECT_EQ(ask(), bytesOf(drawFrame(1))) << "the next frame is not held up";
}

TEST_F(SimulatorAnswerTest, PacesOnlyEveryNthAnswerWhenTold)
{
    SimulatorOptions o = options();
    // Paced, an answer would take 100 seconds: far beyond the deadline.
    o.bytesPerSecond = kFrameBytes / 100.0;
    o.faultEvery = 2;
    ASSERT_NO_FATAL_FAILURE(serve(o));
    EXPECT_EQ(ask(), bytesOf(drawFrame(0))) << "the first answer comes at full speed";
    ASSERT_EQ(port->sendRequest(), 4);
    const auto slow = port->receive(kFrameBytes, kQuietMs);
    EXPECT_LT(slow.size(), kFrameBytes) << "the second answer is paced";
    EXPECT_EQ(slow, bytesOf(drawFrame(1), slow.size()));
}

// A board that prints readings: text lines come unasked, a few each time the
// line is read, and with --silent a request gets nothing else.
TEST_F(SimulatorAnswerTest, ChattersTextLinesUnaskedWhenTold)
{
    SimulatorOptions o = options();
    o.silent = true;
    o.chatterPerSecond = 100;
    ASSERT_NO_FATAL_FAILURE(serve(o));
    const auto unasked = port->receive(200, kDeadlineMs);
    ASSERT_EQ(unasked.size(), 200u);
    const std::string text(unasked.begin(), unasked.end());
    EXPECT_NE(text.find("\r\nT="), std::string::npos) << text;
    EXPECT_EQ(text.find_first_not_of("T=0123456789 V.I\r\n"), std::string::npos) << text;

    ASSERT_EQ(port->sendRequest(), 4);
    const auto after = port->receive(400, kDeadlineMs);
    EXPECT_EQ(std::string(after.begin(), after.end()).find_first_not_of("T=0123456789 V.I\r\n"), std::string::npos)
        << "no frame, only more lines";
    EXPECT_EQ(simulator->framesSent(), 0u);
    EXPECT_TRUE(simulator->waitForRequests(1, kDeadlineMs)) << "its own lines are not heard as requests";
    EXPECT_EQ(simulator->requestCount(), 1u);
}
