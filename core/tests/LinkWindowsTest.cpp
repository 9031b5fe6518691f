// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
#include "Engine.h"
#include "PortableTestSupport.h"
#include "Utf8Path.h"
#include "WineInstruments.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

}  // namespace

// The viewer's whole way on Windows, in a working folder named in three
// scripts: the search passes over a board that talks unasked (COM9) and
// finds the instrument (COM5); the link log, the snapshot and the image
// tool's start all happen in that folder.
TEST(WindowsLink, SearchPassesOverATalkerAndEverythingHappensInAFolderOfAnyLanguage)
{
    ScratchDir scratch;
    const std::string folder = scratch.folder("Messung Ωμέγα 測定");
    std::filesystem::copy_file(KORVANE_TOOL_REPORT, pathFromUtf8(folder) / "Pictorix.exe");
    const HeaderBytes header = HeaderTemplate::builtIn();
    std::ofstream(pathFromUtf8(folder) / "header2.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    WineInstruments instruments;
    const WineInstrument talker = instruments.start(9, "--silent --chatter 333");
    const WineInstrument scope = instruments.start(5);

    FakeHost host;
    EngineConfig config = testConfig(pathFromUtf8(folder));
    config.probe.firstByteMs = 2000;
    config.probe.totalMs = 3000;
    Engine engine(host, config);
    engine.initEngine();
    engine.findScope();
    ASSERT_TRUE(engine.portFound());
    EXPECT_EQ(engine.portName(), "COM5");
    ASSERT_EQ(engine.lastSearch().size(), 5u);
    EXPECT_EQ(engine.lastSearch()[0].verdict, ProbeVerdict::Talker);
    EXPECT_EQ(engine.lastSearch()[1].verdict, ProbeVerdict::NoDevice);
    EXPECT_EQ(talker.requestCount(), 0u) << "nothing is sent to a talker";

    ASSERT_EQ(engine.openLink(), 0);
    EXPECT_EQ(engine.headerSource(), HeaderTemplate::Source::File);
    ASSERT_TRUE(waitFor([&] { return engine.screen().read([](const ScreenView&) {}); }));
    EXPECT_EQ(engine.exportSnapshot(), ExportResult::Started);
    EXPECT_EQ(readFile(engine.filePath("Temp.bmp")).size(), 38518u);
    EXPECT_FALSE(awaitToolReport(folder).empty()) << "Pictorix.exe started in the folder";
    // Ended here: a program that wine starts keeps the test's output open
    // for as long as it runs (the Unix side of its standard handles).
    EXPECT_TRUE(endTool(folder));
    const std::string log = engine.filePath("log.txt");
    EXPECT_TRUE(readFile(log).empty()) << "shared with no other program while the engine runs";
    engine.shutdown();
    EXPECT_EQ(readFile(log), Bytes{0x43});
}

// Killed while it sends a screen: the link is lost, as on an unplugged
// cable. Under wine the read then ends at once with nothing, and the line's
// state is refused with wine's own error code; Windows' drivers fail the
// read itself with theirs. Either ends the link.
TEST(WindowsLink, AnInstrumentVanishingMidScreenIsALostLink)
{
    ScratchDir scratch;
    WineInstruments instruments;
    // 20 000 bytes a second: a screen takes two seconds.
    const WineInstrument scope = instruments.start(17, "--rate 20000");
    FakeHost host;
    Engine engine(host, testConfig(scratch.path()));
    engine.initEngine();
    engine.setPortName(scope.port());
    ASSERT_EQ(engine.openLink(), 0);
    ASSERT_TRUE(scope.waitForRequests(1));
    instruments.vanish(17);
    ASSERT_TRUE(waitFor([&] { return host.linkLosses == 1; })) << "the lost link is reported";
    engine.acknowledgeConnectionError();
    EXPECT_TRUE(waitFor([&] { return engine.isConnected() == 0; }));
    EXPECT_FALSE(engine.screen().read([](const ScreenView&) {})) << "no screen from the half that came";
}
