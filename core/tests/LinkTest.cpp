// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "EngineFixture.h"
#include "PortNames.h"

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

using Link = EngineFixture;

}  // namespace

TEST(PortNames, LinksInTheWorkingFolderComeBeforeTheDeviceTable)
{
    ScratchDir dir;
    EXPECT_EQ(PortNames::resolve(dir.path().string(), "COM5"), "/dev/ttyUSB0");
    EXPECT_EQ(PortNames::resolve(dir.path().string(), "COM1"), "");
    EXPECT_EQ(PortNames::resolve(dir.path().string(), "COM10"), "");

    // A dangling link still names the port: the instrument behind it is gone.
    std::filesystem::create_symlink("/dev/no-such-port", dir.path() / "COM5");
    EXPECT_EQ(PortNames::resolve(dir.path().string(), "COM5"), dir.file("COM5"));
}

TEST_F(Link, ProbeTakesTheHighestPortThatAnswersWithMoreThanTenBytes)
{
    auto& com10 = instrument(10);
    auto& com9 = instrument(9, {.answerBytes = 10});
    auto& com8 = instrument(8, {.answerBytes = 11});
    auto& com5 = instrument(5);
    auto& com1 = instrument(1);
    engine.findScope();
    EXPECT_TRUE(engine.portFound());
    EXPECT_EQ(engine.portName(), "COM8") << "eleven bytes are enough to be the instrument";
    EXPECT_EQ(com9.requestCount(), 1u) << "ten bytes are not";
    EXPECT_EQ(com9.requests().front(), (std::array<std::uint8_t, 4>{0x57, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(com5.requestCount(), 0u) << "the probe stops at the first answer";
    EXPECT_EQ(com1.requestCount() + com10.requestCount(), 0u) << "COM1 and COM10 are never tried";

    // Nothing answering: every port asked once, and COM2, the last name tried, kept.
    auto& com4 = instrument(4, {.silent = true});
    com8.stop();
    com5.stop();
    engine.initEngine();
    engine.findScope();
    EXPECT_FALSE(engine.portFound());
    EXPECT_EQ(engine.portName(), "COM2");
    EXPECT_EQ(com4.requestCount(), 1u);
    EXPECT_EQ(com1.requestCount() + com10.requestCount(), 0u);
}

TEST_F(Link, LogFileRecordsEveryConnectAttempt)
{
    const std::string log = dir.file("log.txt");
    EXPECT_TRUE(readFile(log).empty()) << "created empty at start-up";
    engine.findScope();  // nothing answers: COM2, which does not exist
    EXPECT_EQ(engine.openLink(), -1);
    EXPECT_EQ(readFile(log), (Bytes{0x43, 0x00, 0x00}));
    instrument(2);
    ASSERT_EQ(engine.openLink(), 0);
    EXPECT_EQ(readFile(log), (Bytes{0x43, 0x00, 0x00, 0x43}));
    engine.shutdown();

    // A new start empties it again.
    Engine second(host, testConfig(dir.path()));
    second.initEngine();
    EXPECT_TRUE(readFile(log).empty());
}

TEST_F(Link, AFailedConnectLeavesTheLinkDownAndIsTold)
{
    EXPECT_EQ(engine.openLink(), -1);  // COM2 does not exist
    EXPECT_EQ(engine.isConnected(), 0);
    EXPECT_EQ(host.openFailures.load(), 1) << "the view repaints its placeholder";
}

TEST_F(Link, ConnectWhileConnectedKeepsTheSameLinkAndReader)
{
    auto& com2 = instrument(2);
    ASSERT_EQ(engine.openLink(), 0);
    EXPECT_EQ(engine.isConnected(), 1);
    ASSERT_TRUE(com2.waitForFrames(2, 10000));
    EXPECT_EQ(engine.openLink(), 0);
    EXPECT_EQ(readFile(dir.file("log.txt")), (Bytes{0x43})) << "no second connect";
    const std::uint64_t frames = com2.framesSent();
    EXPECT_TRUE(com2.waitForFrames(frames + 2, 10000)) << "the link keeps running";
}
