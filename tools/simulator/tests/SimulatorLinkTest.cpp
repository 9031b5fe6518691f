// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// The link vanishing and coming back, and a stop that does not hang.
#include "SimulatorTest.h"

#include <cerrno>
#include <sys/ioctl.h>

using namespace zls740sim;
using namespace zls740sim::test;

using SimulatorLinkTest = SimulatorTest;

TEST_F(SimulatorLinkTest, VanishesAfterTheGivenFramesAndMayComeBack)
{
    for (const int reopenAfterMs : {-1, 50}) {
        SCOPED_TRACE(reopenAfterMs);
        SimulatorOptions o = options();
        o.closeAfterFrames = 2;
        o.reopenAfterMs = reopenAfterMs;
        ASSERT_NO_FATAL_FAILURE(serve(o));
        // Both answers arrive whole: the link goes only once the last is read.
        for (int n = 0; n < 2; ++n)
            ASSERT_EQ(ask().size(), kFrameBytes);
        ASSERT_TRUE(simulator->waitForLinkState(false, kDeadlineMs));
        errno = 0;
        EXPECT_EQ(port->sendRequest(), -1);
        EXPECT_EQ(errno, EIO);
        if (reopenAfterMs < 0) {
            EXPECT_FALSE(linkExists(simulator->linkPath()));
            continue;
        }
        ASSERT_TRUE(simulator->waitForLinkState(true, kDeadlineMs));
        port = std::make_unique<ViewerPort>(simulator->linkPath());
        ASSERT_TRUE(port->isOpen());
        EXPECT_EQ(ask().size(), kFrameBytes);
        EXPECT_EQ(simulator->framesSent(), 3u) << "counting goes on";
    }
}

TEST_F(SimulatorLinkTest, StopsWhileAnAnswerWaitsForAReader)
{
    SimulatorOptions o = options();
    // Far more than the pseudo-terminal buffers: the answer blocks.
    o.answerBytes = 8 * 1024 * 1024;
    ASSERT_NO_FATAL_FAILURE(serve(o));
    ASSERT_EQ(port->sendRequest(), 4);
    EXPECT_TRUE(waitUntil([&] {
        int unread = 0;
        return ::ioctl(port->fd(), FIONREAD, &unread) == 0 && unread > 0;
    }));
    // Would hang here (and the test time out) if the serving thread could
    // not be woken out of its write.
    simulator->stop();
    EXPECT_FALSE(linkExists(simulator->linkPath()));
    EXPECT_EQ(simulator->framesSent(), 0u);
}
