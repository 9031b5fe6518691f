// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "PortSearch.h"
#include "EngineFixture.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;

namespace {

using Clock = std::chrono::steady_clock;
using PortSearchTest = EngineFixture;

// The line settings the last program left on a pseudo-terminal's slave.
termios settingsOf(const std::string& path)
{
    termios settings{};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    ::tcgetattr(fd, &settings);
    ::close(fd);
    return settings;
}

}  // namespace

// Boards printing readings every 3 ms (the first port searched) and twenty
// times a second are asked nothing and keep their line settings.
TEST_F(PortSearchTest, TalkersArePassedOverUnaskedAndLeftAsTheyWere)
{
    auto& fast = instrument(9, {.silent = true, .chatterPerSecond = 333});
    auto& slow = instrument(8, {.silent = true, .chatterPerSecond = 20});
    auto& scope = instrument(5);
    const termios before = settingsOf(fast.slavePath());
    ASSERT_TRUE(before.c_lflag & ICANON) << "a fresh pseudo-terminal is line-edited";

    // The viewer's own listening times: the slow board is heard only with them.
    const std::vector<ProbeReport> reports = PortSearch::search(dir.path().string(), ProbeSettings{});
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(reports[0].verdict, ProbeVerdict::Talker);
    EXPECT_EQ(reports[1].verdict, ProbeVerdict::Talker);
    EXPECT_EQ(reports[2].verdict, ProbeVerdict::NoDevice);
    EXPECT_EQ(reports[4].portName, "COM5");
    EXPECT_EQ(reports[4].verdict, ProbeVerdict::Instrument);
    EXPECT_EQ(fast.requestCount() + slow.requestCount(), 0u) << "nothing is sent to a talker";
    EXPECT_EQ(scope.requestCount(), 1u);
    const termios after = settingsOf(fast.slavePath());
    EXPECT_EQ(after.c_lflag, before.c_lflag) << "raw mode taken back";
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
}

// The instrument still sending the rest of an answer nobody reads any more
// (a search or a viewer stopped half way) is not a talker.
TEST_F(PortSearchTest, TheRestOfAnInterruptedAnswerDoesNotHideTheInstrument)
{
    // A frame in about 100 ms: its rest ends well within the search's settling
    // time even on a busy machine.
    auto& scope = instrument(5, {.bytesPerSecond = 400000});
    {
        SerialPort earlier;
        ASSERT_EQ(earlier.open(dir.file("COM5")), PortResult::Ok);
        std::size_t written = 0;
        ASSERT_EQ(earlier.write(screenRequest, 4, written, 500), PortResult::Ok);
        std::vector<std::uint8_t> part(2000);
        std::size_t got = 0;
        earlier.read(part.data(), part.size(), got, ReadLimits{2000, 200, 2000});
        ASSERT_EQ(got, part.size());
    }
    engine.findScope();
    EXPECT_TRUE(engine.portFound());
    EXPECT_EQ(engine.portName(), "COM5");
    EXPECT_EQ(scope.requestCount(), 2u);
}

// One port costs at most its time limit, whether it answers a byte every
// 20 ms (a frame would take 14 minutes) or never.
TEST_F(PortSearchTest, EachPortTakesAtMostItsTimeLimit)
{
    instrument(9, {.bytesPerSecond = 50});
    instrument(8, {.silent = true});

    ProbeSettings settings;
    settings.totalMs = 1000;
    for (const char* port : {"COM9", "COM8"}) {
        const auto start = Clock::now();
        const ProbeReport report = PortSearch::probe(port, dir.file(port), settings);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_LT(seconds, 5.0) << port;
        EXPECT_NE(report.verdict, ProbeVerdict::Cancelled) << port;
    }
}

// Exit during a search: the look at a port (here one that would wait half a
// minute for an answer) ends at once, and no further port is tried.
TEST_F(PortSearchTest, ShutdownStopsTheSearchAtOnce)
{
    auto& com9 = instrument(9, {.silent = true});
    auto& com8 = instrument(8, {.silent = true});
    EngineConfig config = testConfig(dir.path());
    config.probe.firstByteMs = config.probe.totalMs = 30000;
    Engine searching(host, config);
    searching.initEngine();
    searching.beginSearch();
    ASSERT_TRUE(waitFor([&] { return com9.requestCount() == 1; }));
    searching.shutdown();
    EXPECT_EQ(com8.requestCount(), 0u);
    ASSERT_EQ(searching.lastSearch().size(), 1u);
    EXPECT_EQ(searching.lastSearch().back().verdict, ProbeVerdict::Cancelled);
}
