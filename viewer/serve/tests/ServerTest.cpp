// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
//
// korvane-serve over loopback against the simulated instrument.
#include "ServeTestSupport.h"

#include "ServeProgram.h"

#include "HeaderTemplate.h"
#include "Palettes.h"
#include "PngWriter.h"
#include "ScreenImage.h"
#include "SnapshotWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <malloc.h>
#include <set>

namespace korvane::test {
namespace {

// The snapshot the engine writes for `frame` with the built-in header.
std::string engineSnapshot(const zls740sim::Frame& frame)
{
    ScreenImage image;
    image.loadHeader(HeaderTemplate::builtIn());
    std::copy(frame.begin(), frame.end(), image.frameBuffer().begin());
    image.publishFrame(1);
    std::ostringstream out;
    image.read([&](const ScreenView& view) { SnapshotWriter::write(out, view); });
    return std::move(out).str();
}

class ServeTest : public ::testing::Test {
protected:
    zls740sim::Zls740Simulator& startInstrument(zls740sim::SimulatorOptions options = {})
    {
        return instruments_.start(dir_.path(), 5, options);
    }

    ScratchDir dir_;
    Instruments instruments_;
};

TEST_F(ServeTest, PicturesAreTheScreenKorvaneWouldSave)
{
    zls740sim::Zls740Simulator& instrument = startInstrument();
    ServeHarness serve(dir_.path(), "COM5");
    ASSERT_TRUE(instrument.waitForFrames(2, 10000));
    ASSERT_EQ(request(serve.port(), "POST", "/pause").status, 200);

    // Once paused, the last frame the instrument sent is the screen served;
    // a request sent just before the pause may still bring one more, so the
    // three answers are taken again until they are of one screen.
    Reply bmp, png, head;
    std::string expectedPng;
    const bool consistent = waitFor([&] {
        bmp = request(serve.port(), "GET", "/screen.bmp");
        png = request(serve.port(), "GET", "/screen.png");
        head = request(serve.port(), "HEAD", "/screen.png");
        std::ostringstream out;
        expectedPng = PngWriter::write(out, bmp.body) ? out.str() : std::string();
        return bmp.body == engineSnapshot(instrument.lastFrame()) && png.body == expectedPng
               && head.fields.find("Content-Length: " + std::to_string(png.body.size())) != std::string::npos;
    });
    EXPECT_TRUE(consistent);
    EXPECT_EQ(bmp.status, 200);
    EXPECT_EQ(bmp.body, engineSnapshot(instrument.lastFrame()));
    EXPECT_NE(bmp.fields.find("Content-Type: image/bmp"), std::string::npos);
    EXPECT_EQ(png.status, 200);
    EXPECT_EQ(png.body, expectedPng);
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.empty());
    EXPECT_NE(head.fields.find("Content-Length: " + std::to_string(png.body.size())), std::string::npos);

    const Reply page = request(serve.port(), "GET", "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("<canvas id=\"screen\""), std::string::npos);
}

TEST_F(ServeTest, PauseStopsTheRequestsAndColourTurnsTheNextScreen)
{
    zls740sim::Zls740Simulator& instrument = startInstrument();
    ServeHarness serve(dir_.path(), "COM5");
    ASSERT_TRUE(awaitStatus(serve.port(), "", "connected", true));
    ASSERT_TRUE(instrument.waitForFrames(3, 10000));

    const Reply paused = request(serve.port(), "POST", "/pause");
    EXPECT_EQ(paused.status, 200);
    EXPECT_TRUE(statusFlag(paused.body, "paused"));
    // A request already on its way is answered; then none follows.
    const std::uint64_t asked = instrument.requestCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(instrument.requestCount(), asked + 1);

    const Reply monochrome = request(serve.port(), "POST", "/colour");
    EXPECT_FALSE(statusFlag(monochrome.body, "colour"));
    const std::uint64_t before = instrument.requestCount();
    EXPECT_FALSE(statusFlag(request(serve.port(), "POST", "/pause").body, "paused"));
    ASSERT_TRUE(instrument.waitForRequests(before + 3, 10000));

    // The screens after the choice carry the monochrome palette.
    const Palette& grey = Palettes::monochrome();
    ASSERT_TRUE(waitFor([&] {
        const std::string bmp = request(serve.port(), "GET", "/screen.bmp").body;
        if (bmp.size() != kSnapshotBytes)
            return false;
        for (std::size_t i = 0; i < kPaletteEntries; ++i) {
            const auto* entry = reinterpret_cast<const std::uint8_t*>(bmp.data()) + kPaletteOffset + 4 * i;
            if (entry[0] != grey[i].blue || entry[1] != grey[i].green || entry[2] != grey[i].red)
                return false;
        }
        return true;
    }));
}

TEST_F(ServeTest, FortyViewersAllGetScreensFromOneRequestEach)
{
    zls740sim::Zls740Simulator& instrument = startInstrument();
    ServeHarness serve(dir_.path(), "COM5");
    ASSERT_TRUE(awaitStatus(serve.port(), "", "connected", true));

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
    // Viewers never cause requests: each request waits for its answer. An
    // answer the busy machine held up past the gap between bytes is dropped
    // and asked for again, so a few requests more than screens are allowed;
    // a request per viewer (40) or per viewer and screen is far beyond them.
    const std::uint64_t requests = instrument.requestCount();
    const std::uint64_t frames = instrument.framesSent();
    EXPECT_LE(requests, frames + frames / 10 + 1);
}

TEST_F(ServeTest, ViewersThatNeverReadHoldNoScreens)
{
    // Screens of noise pack badly, so that the sockets of the viewers who
    // never read fill after a few hundred.
    std::string noise(3 * kFrameBytes, '\0');
    std::uint32_t state = 12345;
    for (char& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 16);
    }
    std::ofstream(dir_.file("noise.bin"), std::ios::binary) << noise;
    zls740sim::SimulatorOptions options;
    options.replayFile = dir_.file("noise.bin");
    startInstrument(options);
    ServeHarness serve(dir_.path(), "COM5");
    ASSERT_TRUE(awaitStatus(serve.port(), "", "connected", true));

    std::vector<std::unique_ptr<Viewer>> idle;
    for (int i = 0; i < 3; ++i)
        idle.push_back(std::make_unique<Viewer>(serve.port()));
    auto screens = [&] { return statusNumber(request(serve.port(), "GET", "/status.json").body, "screens"); };
    const std::uint64_t start = screens();
    ASSERT_TRUE(waitFor([&] { return screens() > start + 300; }, std::chrono::seconds(60)));
    const std::size_t held = ::mallinfo2().uordblks;
    const std::uint64_t later = screens();
    // Another 600 screens of about 20 kB: a queue per idle viewer would hold
    // tens of megabytes by then.
    ASSERT_TRUE(waitFor([&] { return screens() > later + 600; }, std::chrono::seconds(120)));
    EXPECT_LT(::mallinfo2().uordblks, held + 4 * 1024 * 1024);

    // And a viewer who does read is served all along.
    Viewer reading(serve.port());
    std::string message;
    EXPECT_TRUE(reading.nextScreen(message));
}

TEST_F(ServeTest, LostInstrumentLeavesTheLastScreenAndIsFoundAgain)
{
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 10;
    options.reopenAfterMs = 1000;
    zls740sim::Zls740Simulator& instrument = startInstrument(options);
    ServeHarness serve(dir_.path(), "COM5");
    Viewer viewer(serve.port());
    ASSERT_TRUE(viewer.awaitState("connected", true));

    // The viewer is told; the last screen stays to be had.
    ASSERT_TRUE(viewer.awaitState("connected", false));
    const Reply last = request(serve.port(), "GET", "/screen.bmp");
    EXPECT_EQ(last.status, 200);
    EXPECT_EQ(last.body.size(), kSnapshotBytes);

    // The instrument comes back under the same name; screens flow again.
    ASSERT_TRUE(viewer.awaitState("connected", true));
    ASSERT_TRUE(instrument.waitForLinkState(true, 10000));
    std::string screen;
    EXPECT_TRUE(viewer.nextScreen(screen));
    EXPECT_NE(request(serve.port(), "GET", "/screen.bmp").body, last.body);
}

TEST_F(ServeTest, OnceEndsWithTheLinksEnd)
{
    std::ostringstream out;
    std::ostringstream err;
    const std::string port = dir_.file("COM5");
    const std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--port", port, "--once"};
    // Nothing there: no instrument.
    EXPECT_EQ(ServeProgram::run(arguments, {}, out, err), 1);
    EXPECT_NE(out.str().find("cannot open the port"), std::string::npos) << out.str();

    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 5;
    startInstrument(options);
    EXPECT_EQ(ServeProgram::run(arguments, {}, out, err), 3);
    EXPECT_NE(out.str().find("instrument lost on " + port), std::string::npos) << out.str();
}

}  // namespace
}  // namespace korvane::test
