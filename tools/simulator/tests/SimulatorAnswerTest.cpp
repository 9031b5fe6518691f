// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// What the simulator answers over a real pseudo-terminal, and how much: the
// engine's tests trust these answers to be the faults they are named after.
#include "SimulatorTest.h"

#include <fstream>

using namespace zls740sim;
using namespace zls740sim::test;

using SimulatorAnswerTest = SimulatorTest;

TEST_F(SimulatorAnswerTest, AnswersARequestSplitInTwoWithOneWholeFrame)
{
    ASSERT_NO_FATAL_FAILURE(serve(options()));
    ASSERT_EQ(send({0x57, 0x00}), 2);
    EXPECT_TRUE(receive(1, kQuietMs).empty()) << "half a request is not answered";
    ASSERT_EQ(send({0x00, 0x0A}), 2);
    const auto answer = receive(kFrameBytes, kDeadlineMs);
    EXPECT_EQ(answer, bytesOf(simulator->lastFrame()));
    EXPECT_TRUE(receive(1, kQuietMs).empty()) << "one frame and no more";
}

TEST_F(SimulatorAnswerTest, AnswersAsToldOrNotAtAll)
{
    Frame replayed[2];
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        replayed[0][i] = static_cast<std::uint8_t>(i * 31);
        replayed[1][i] = static_cast<std::uint8_t>(i * 17 + 5);
    }
    const std::string replayFile = dir + "/frames.bin";
    std::ofstream(replayFile, std::ios::binary).write(reinterpret_cast<const char*>(replayed), sizeof replayed);
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
        std::vector<std::uint8_t> answers[2];  // what the first and the second request get
        std::uint64_t framesSent;
    };
    const Case cases[] = {
        {"short", 40959, false, 0, 0, false, {bytesOf(drawFrame(0), 40959), bytesOf(drawFrame(1), 40959)}, 2},
        {"short every 2nd", 40959, false, 0, 2, false, {bytesOf(drawFrame(0)), bytesOf(drawFrame(1), 40959)}, 2},
        {"trailing every 2nd", 40963, false, 0, 2, true, {bytesOf(replayed[0]), withTrailing(replayed[1])}, 2},
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
        for (std::uint64_t n = 0; n < 2; ++n) {
            ASSERT_EQ(sendRequest(), 4);
            if (!c.answers[n].empty()) {
                EXPECT_EQ(receive(c.answers[n].size(), kDeadlineMs), c.answers[n]);
            }
            EXPECT_TRUE(receive(1, kQuietMs).empty()) << "nothing beyond the answer";
            EXPECT_TRUE(simulator->waitForRequests(n + 1, kDeadlineMs)) << "every request is counted";
        }
        EXPECT_EQ(simulator->framesSent(), c.framesSent);
    }
}
