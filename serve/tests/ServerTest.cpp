// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
//
// korvane-serve over loopback against the simulated instrument.
#include "ServeTestSupport.h"

#include "ServeProgram.h"

#include "PngWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace korvane::test {
namespace {

class ServeTest : public ::testing::Test {
protected:
    zls740sim::Zls740Simulator& startInstrument(zls740sim::SimulatorOptions options = {})
    {
        return instruments_.start(dir_.path(), 5, options);
    }

    ScratchDir dir_;
    Instruments instruments_;
};

TEST_F(ServeTest, PauseStopsTheRequestsAndResumeStartsThem)
{
    zls740sim::Zls740Simulator& instrument = startInstrument();
    ServeHarness serve(dir_.path(), "COM5");
    ASSERT_TRUE(instrument.waitForFrames(2, 10000));
    ASSERT_TRUE(statusFlag(request(serve.port(), "POST", "/pause").body, "paused"));
    // A request already on its way is answered; then none follows.
    const std::uint64_t asked = instrument.requestCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(instrument.requestCount(), asked + 1);
    EXPECT_FALSE(statusFlag(request(serve.port(), "POST", "/pause").body, "paused"));
    EXPECT_TRUE(instrument.waitForRequests(asked + 3, 10000));
}

// Paused, the screen served is the last one the instrument sent: as the
// engine's snapshot and the grab writer's PNG, in the palette chosen.
TEST_F(ServeTest, TheScreenServedIsTheOneKorvaneWouldSaveInThePaletteChosen)
{
    zls740sim::Zls740Simulator& instrument = startInstrument();
    ServeHarness serve(dir_.path(), "COM5");
    auto servesLastFrame = [&](std::int32_t colourMode) {
        // A request sent just before the pause may still bring one more screen.
        return waitFor([&] {
            const Reply bmp = request(serve.port(), "GET", "/screen.bmp");
            const Reply png = request(serve.port(), "GET", "/screen.png");
            const Reply head = request(serve.port(), "HEAD", "/screen.png");
            std::ostringstream expectedPng;
            return bmp.body == engineSnapshot(instrument.lastFrame(), HeaderTemplate::builtIn(), colourMode)
                && bmp.fields.find("Content-Type: image/bmp") != std::string::npos
                && PngWriter::write(expectedPng, bmp.body) && png.body == expectedPng.str() && head.body.empty()
                && head.fields.find("Content-Length: " + std::to_string(png.body.size())) != std::string::npos;
        });
    };
    ASSERT_TRUE(instrument.waitForFrames(2, 10000));
    ASSERT_TRUE(statusFlag(request(serve.port(), "POST", "/pause").body, "paused"));
    EXPECT_TRUE(servesLastFrame(1));

    EXPECT_FALSE(statusFlag(request(serve.port(), "POST", "/colour").body, "colour"));
    const std::uint64_t before = instrument.requestCount();
    EXPECT_FALSE(statusFlag(request(serve.port(), "POST", "/pause").body, "paused"));
    ASSERT_TRUE(instrument.waitForRequests(before + 3, 10000));
    ASSERT_TRUE(statusFlag(request(serve.port(), "POST", "/pause").body, "paused"));
    EXPECT_TRUE(servesLastFrame(0)) << "the screens after the choice carry the monochrome palette";
}

TEST_F(ServeTest, FortyViewersAllGetScreensFromOneRequestEach)
{
    zls740sim::Zls740Simulator& instrument = startInstrument();
    ServeHarness serve(dir_.path(), "COM5");

    constexpr int kViewers = 40;
    std::vector<std::unique_ptr<Viewer>> viewers;
    for (int i = 0; i < kViewers; ++i)
        viewers.push_back(std::make_unique<Viewer>(serve.port()));
    std::atomic<int> satisfied{0};
    std::vector<std::thread> watching;
    for (auto& viewer : viewers)
        watching.emplace_back([&viewer, &satisfied] {
            std::set<std::string> screens;
            std::string message;
            while (screens.size() < 3 && viewer->nextScreen(message))
                screens.insert(message);
            if (screens.size() == 3)
                ++satisfied;
        });
    for (auto& thread : watching)
        thread.join();
    EXPECT_EQ(satisfied, kViewers);
    EXPECT_EQ(statusNumber(request(serve.port(), "GET", "/status.json").body, "viewers"), unsigned(kViewers));
    // Viewers cause no requests; an answer a busy machine cut short is asked for again.
    const std::uint64_t requests = instrument.requestCount();  // read before the screens sent
    EXPECT_LE(requests, instrument.framesSent() * 11 / 10 + 1);
}

TEST_F(ServeTest, ALostInstrumentLeavesTheLastScreen)
{
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 10;
    startInstrument(options);
    ServeHarness serve(dir_.path(), "COM5");
    // Ten screens may be over before the viewer joins: its first state then tells it.
    Viewer viewer(serve.port());
    ASSERT_TRUE(viewer.awaitState("connected", false)) << "the viewer is told";
    const Reply last = request(serve.port(), "GET", "/screen.bmp");
    EXPECT_EQ(last.status, 200);
    EXPECT_EQ(last.body.size(), kSnapshotBytes);
}

TEST_F(ServeTest, ALostInstrumentIsFoundAgainAndItsScreensServed)
{
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 10;
    options.reopenAfterMs = 1000;
    zls740sim::Zls740Simulator& instrument = startInstrument(options);
    ServeHarness serve(dir_.path(), "COM5");
    Viewer viewer(serve.port());
    ASSERT_TRUE(viewer.awaitState("connected", false));
    const std::string last = request(serve.port(), "GET", "/screen.bmp").body;
    ASSERT_TRUE(viewer.awaitState("connected", true));
    ASSERT_TRUE(instrument.waitForLinkState(true, 10000));
    std::string screen;
    EXPECT_TRUE(viewer.nextScreen(screen));
    EXPECT_NE(request(serve.port(), "GET", "/screen.bmp").body, last);
}

TEST_F(ServeTest, OnceWithoutAnInstrumentEndsWithCode1)
{
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--port", dir_.file("COM5"), "--once"};
    EXPECT_EQ(ServeProgram::run(arguments, {}, out, err), 1);
    EXPECT_NE(out.str().find("cannot open the port"), std::string::npos) << out.str();
}

TEST_F(ServeTest, OnceEndsWithCode3WhenTheLinkIsLost)
{
    std::ostringstream out;
    std::ostringstream err;
    const std::string port = dir_.file("COM5");
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 5;
    startInstrument(options);
    EXPECT_EQ(ServeProgram::run({"--listen", "127.0.0.1:0", "--port", port, "--once"}, {}, out, err), 3);
    EXPECT_NE(out.str().find("instrument lost on " + port), std::string::npos) << out.str();
}

}  // namespace
}  // namespace korvane::test
