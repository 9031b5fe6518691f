// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// The link's life: made, replaced, vanishing, coming back, and a stop that
// does not hang.
#include "TemporaryDirectory.h"
#include "ViewerPort.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

using namespace zls740sim;
using namespace zls740sim::test;

namespace {

constexpr int kDeadlineMs = 10000;

std::string linkTarget(const std::string& path)
{
    std::error_code error;
    const auto target = std::filesystem::read_symlink(path, error);
    return error ? std::string() : target.string();
}

bool linkExists(const std::string& path)
{
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path));
}

class SimulatorLinkTest : public ::testing::Test {
protected:
    SimulatorOptions options()
    {
        SimulatorOptions o;
        o.linkDir = dir.path();
        o.comNumber = 3;
        return o;
    }

    TemporaryDirectory dir;
};

}  // namespace

TEST_F(SimulatorLinkTest, ReplacesAnOldLinkAndRemovesItsOwnAtStop)
{
    const std::string link = dir.file("COM3");
    std::filesystem::create_symlink("/dev/nonexistent-port", link);
    Zls740Simulator simulator(options());
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    EXPECT_EQ(linkTarget(link), simulator.slavePath());
    EXPECT_EQ(simulator.slavePath().rfind("/dev/pts/", 0), 0u);
    EXPECT_FALSE(simulator.start(&error)) << "already running";
    simulator.stop();
    EXPECT_FALSE(linkExists(link));
    EXPECT_FALSE(simulator.linkUp());
    simulator.stop();

    // It can serve again after a stop.
    ASSERT_TRUE(simulator.start(&error)) << error;
    ViewerPort port(link);
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    EXPECT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
}

TEST_F(SimulatorLinkTest, LeavesALinkAloneThatWasPointedElsewhere)
{
    const std::string link = dir.file("COM3");
    Zls740Simulator simulator(options());
    ASSERT_TRUE(simulator.start());
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/dev/null", link);
    simulator.stop();
    EXPECT_EQ(linkTarget(link), "/dev/null");
}

TEST_F(SimulatorLinkTest, FailsWithAReasonWhenTheLinkCannotBeMade)
{
    SimulatorOptions o = options();
    o.linkDir = dir.file("missing");
    Zls740Simulator simulator(o);
    std::string error;
    EXPECT_FALSE(simulator.start(&error));
    EXPECT_NE(error.find(dir.file("missing")), std::string::npos) << error;
    EXPECT_FALSE(simulator.linkUp());
}

TEST_F(SimulatorLinkTest, ServesAViewerThatClosesAndReopensThePort)
{
    // The viewer probes, closes the port, and opens it again to connect.
    Zls740Simulator simulator(options());
    ASSERT_TRUE(simulator.start());
    for (std::uint64_t round = 1; round <= 3; ++round) {
        ViewerPort port(simulator.linkPath());
        ASSERT_TRUE(port.isOpen());
        ASSERT_EQ(port.sendRequest(), 4);
        EXPECT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
    }
    EXPECT_TRUE(simulator.linkUp());
    EXPECT_EQ(simulator.framesSent(), 3u);
}

TEST_F(SimulatorLinkTest, VanishesAfterTheGivenFrames)
{
    SimulatorOptions o = options();
    o.closeAfterFrames = 2;
    o.reportFile = dir.file("report.txt");
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    for (int n = 0; n < 2; ++n) {
        ASSERT_EQ(port.sendRequest(), 4);
        // Both answers arrive whole: the link goes only once the last is read.
        ASSERT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
    }
    ASSERT_TRUE(simulator.waitForLinkState(false, kDeadlineMs));
    EXPECT_FALSE(linkExists(simulator.linkPath()));
    errno = 0;
    EXPECT_EQ(port.sendRequest(), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(waitUntil([&] { return readText(o.reportFile).find("link down\n") != std::string::npos; }));
    EXPECT_EQ(simulator.framesSent(), 2u);
    simulator.stop();
}

TEST_F(SimulatorLinkTest, ComesBackUnderTheSameName)
{
    SimulatorOptions o = options();
    o.closeAfterFrames = 1;
    o.reopenAfterMs = 50;
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    {
        ViewerPort port(simulator.linkPath());
        ASSERT_TRUE(port.isOpen());
        ASSERT_EQ(port.sendRequest(), 4);
        ASSERT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
        ASSERT_TRUE(simulator.waitForLinkState(false, kDeadlineMs));
        errno = 0;
        EXPECT_EQ(port.sendRequest(), -1);
        EXPECT_EQ(errno, EIO);
    }
    ASSERT_TRUE(simulator.waitForLinkState(true, kDeadlineMs));
    EXPECT_EQ(linkTarget(simulator.linkPath()), simulator.slavePath());

    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    for (std::uint64_t n = 2; n <= 3; ++n) {
        ASSERT_EQ(port.sendRequest(), 4);
        const auto answer = port.receive(kFrameBytes, kDeadlineMs);
        ASSERT_EQ(answer.size(), kFrameBytes);
        EXPECT_EQ(simulator.framesSent(), n) << "counting goes on";
    }
    EXPECT_TRUE(simulator.linkUp()) << "it vanishes once only";
    EXPECT_EQ(simulator.requestCount(), 3u);
}

TEST_F(SimulatorLinkTest, StopsWhileAnAnswerWaitsForAReader)
{
    SimulatorOptions o = options();
    // Far more than the pseudo-terminal buffers: the answer blocks.
    o.answerBytes = 8 * 1024 * 1024;
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    EXPECT_TRUE(waitUntil([&] {
        int unread = 0;
        return ::ioctl(port.fd(), FIONREAD, &unread) == 0 && unread > 0;
    }));
    // Would hang here (and the test time out) if the serving thread could
    // not be woken out of its write.
    simulator.stop();
    EXPECT_FALSE(linkExists(simulator.linkPath()));
    EXPECT_EQ(simulator.framesSent(), 0u);
}

TEST_F(SimulatorLinkTest, StopsWhileAwayWaitingToComeBack)
{
    SimulatorOptions o = options();
    o.closeAfterFrames = 1;
    o.reopenAfterMs = 3600 * 1000;
    Zls740Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    ViewerPort port(simulator.linkPath());
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    ASSERT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
    ASSERT_TRUE(simulator.waitForLinkState(false, kDeadlineMs));
    simulator.stop();
    EXPECT_FALSE(linkExists(simulator.linkPath()));
}
