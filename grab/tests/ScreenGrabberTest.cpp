// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#include "ScreenGrabber.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace korvane;
using namespace korvane::test;

// An answer that comes after its capture gave up is not the next capture's:
// that one asks anew and takes the answer to its own request.
TEST(ScreenGrabber, AnAnswerTooLateForItsCaptureIsNotTheNextOne)
{
    ScratchDir dir;
    TestLine line;
    EngineConfig config;
    config.workDir = dir.path().string();
    ScreenGrabber grabber(config, false);
    grabber.usePort(line.slavePath());
    ASSERT_TRUE(grabber.openLink());

    zls740sim::Frame late{}, timely{};
    late.fill(0x11);
    timely.fill(0x22);
    std::promise<void> firstGaveUp;
    std::atomic<bool> done{false};
    auto instrument = std::async(std::launch::async, [&] {
        if (!line.awaitRequest())
            return false;
        firstGaveUp.get_future().wait();
        line.writeAll({late.begin(), late.end()});
        // Every later request gets the timely answer: a busy machine that
        // holds this thread up past the gap between bytes cuts an answer
        // short, and the grabber asks again.
        std::size_t asked = 0;
        while (!done) {
            asked += line.readFor(20).size();
            for (; asked >= 4; asked -= 4)
                line.writeAll({timely.begin(), timely.end()});
        }
        return true;
    });

    std::string snapshot;
    EXPECT_EQ(grabber.capture(std::chrono::milliseconds(300), snapshot), ScreenGrabber::Capture::NoScreen);
    firstGaveUp.set_value();
    EXPECT_EQ(grabber.capture(std::chrono::seconds(20), snapshot), ScreenGrabber::Capture::Screen);
    done = true;
    const HeaderBytes& header = HeaderTemplate::builtIn();
    EXPECT_TRUE(snapshot == engineSnapshot(timely, header, 1))
        << (snapshot == engineSnapshot(late, header, 1) ? "the late answer was taken" : "");
    EXPECT_TRUE(instrument.get());
}
