// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
//
// The search for the instrument among other serial devices: talkers, slow
// devices, and the rest of an answer the instrument is still sending.
#include "EngineFixture.h"
#include "PortSearch.h"

#include <fcntl.h>
#include <future>
#include <termios.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;

namespace {

using Clock = std::chrono::steady_clock;

using PortSearchTest = EngineFixture;

zls740sim::SimulatorOptions talker(double linesPerSecond)
{
    zls740sim::SimulatorOptions options;
    options.silent = true;
    options.chatterPerSecond = linesPerSecond;
    return options;
}

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

// A board printing readings every 3 ms (the first port searched) and one
// printing twenty lines a second: neither is asked anything, both keep their
// line settings, and the instrument behind them is found.
TEST_F(PortSearchTest, TalkersArePassedOverUnaskedAndLeftAsTheyWere)
{
    auto& fast = instrument(9, talker(333));
    auto& slow = instrument(8, talker(20));
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

// The instrument still sending the rest of an answer that nobody reads any
// more (a search or a viewer stopped half way) is not a talker: the rest
// ends, and the next request is answered.
TEST_F(PortSearchTest, TheRestOfAnInterruptedAnswerDoesNotHideTheInstrument)
{
    zls740sim::SimulatorOptions options;
    options.bytesPerSecond = 200000;  // a frame takes about 200 ms
    auto& scope = instrument(5, options);
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

// Whatever a device sends, one port costs at most its time limit: one that
// answers a byte every 20 ms (40960 bytes would take 14 minutes) and one
// that never answers.
TEST_F(PortSearchTest, EachPortTakesAtMostItsTimeLimit)
{
    zls740sim::SimulatorOptions trickler;
    trickler.bytesPerSecond = 50;
    instrument(9, trickler);
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    instrument(8, silent);

    ProbeSettings settings;
    settings.totalMs = 1000;
    for (const char* port : {"COM9", "COM8"}) {
        const auto start = Clock::now();
        const ProbeReport report = PortSearch::probe(port, dir.file(port), settings);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        // Generous: a busy machine may be slow, but never minutes slow.
        EXPECT_LT(seconds, 5.0) << port;
        EXPECT_NE(report.verdict, ProbeVerdict::Cancelled) << port;
    }
}

// Exit during a search: a stop request ends the look at a port at once,
// and no further port is tried.
TEST_F(PortSearchTest, StopEndsTheSearchAtOnce)
{
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    auto& com9 = instrument(9, silent);
    auto& com8 = instrument(8, silent);
    std::stop_source stop;
    auto search = std::async(std::launch::async, [&] { return PortSearch::search(dir.path().string(), ProbeSettings{}, stop.get_token()); });
    ASSERT_TRUE(waitFor([&] { return com9.requestCount() == 1; }));
    stop.request_stop();
    ASSERT_EQ(search.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const std::vector<ProbeReport> reports = search.get();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.back().verdict, ProbeVerdict::Cancelled);
    EXPECT_EQ(com8.requestCount(), 0u);
}
