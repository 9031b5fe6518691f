// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#include "SimulatorCommandLine.h"

#include <gtest/gtest.h>

using namespace zls740sim;

TEST(SimulatorCommandLine, EachOptionSetsItsOwnSetting)
{
    SimulatorCommandLine line;
    ASSERT_TRUE(SimulatorCommandLine::parse(
        {"--dir=d", "--com=7", "--serve-device=s", "--answer-bytes=11", "--trailing-after=12", "--silent",
         "--stall-after=13", "--trickle=4", "--chatter=2.5", "--fault-every=14", "--close-after=15",
         "--reopen-after=-16", "--replay=r", "--last-frame=l", "--report=p", "--write-frame=w", "--index=17", "-h"},
        line, nullptr));
    const SimulatorOptions& o = line.options;
    EXPECT_EQ(o.linkDir + o.serveDevice + o.replayFile + o.lastFrameFile + o.reportFile + line.writeFrameFile,
              "dsrlpw");
    using Numbers = std::vector<long long>;
    EXPECT_EQ(Numbers({o.comNumber, long(o.answerBytes), o.trailingAfterMs, long(o.stallAfterBytes), o.faultEvery,
                       o.closeAfterFrames, o.reopenAfterMs, long(line.frameIndex)}),
              Numbers({7, 11, 12, 13, 14, 15, -16, 17}));
    EXPECT_TRUE(o.silent && line.help);
    EXPECT_EQ(o.bytesPerSecond, 250);
    EXPECT_EQ(o.chatterPerSecond, 2.5);

    // A word is an unknown option too: the simulator takes none.
    std::string error;
    EXPECT_FALSE(SimulatorCommandLine::parse({"COM5"}, line, &error));
    EXPECT_EQ(error, "unknown option COM5");
}
