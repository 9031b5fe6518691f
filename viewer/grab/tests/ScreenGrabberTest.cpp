// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#include "GrabTestSupport.h"
#include "ScreenGrabber.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The snapshot bytes a frame gives, by the engine's own decoder and writer.
std::string snapshotOf(const Bytes& frame)
{
    zls740sim::Frame whole{};
    std::copy(frame.begin(), frame.end(), whole.begin());
    return engineSnapshot(whole, HeaderTemplate::builtIn(), 1);
}

}  // namespace

// An answer that comes after its capture gave up belongs to that moment,
// not to the next capture's: the next capture asks anew and takes the
// answer to its own request.
TEST(ScreenGrabber, AnAnswerTooLateForItsCaptureIsNotTheNextOne)
{
    ScratchDir dir;
    TestLine line;
    EngineConfig config;
    config.workDir = dir.path().string();
    ScreenGrabber grabber(config, false);
    grabber.usePort(line.slavePath());
    ASSERT_TRUE(grabber.openLink());

    const Bytes late(kFrameBytes, 0x11);
    const Bytes timely(kFrameBytes, 0x22);
    std::promise<void> firstGaveUp;
    std::atomic<bool> done{false};
    auto instrument = std::async(std::launch::async, [&] {
        if (!line.awaitRequest())
            return false;
        firstGaveUp.get_future().wait();
        line.writeAll(late);
        // Every later request gets the timely answer: a machine that holds
        // this thread up longer than the gap between bytes cuts an answer
        // short, and the grabber asks again.
        std::vector<std::uint8_t> asked;
        while (!done) {
            const Bytes more = line.readFor(20);
            asked.insert(asked.end(), more.begin(), more.end());
            for (; asked.size() >= 4; asked.erase(asked.begin(), asked.begin() + 4))
                line.writeAll(timely);
        }
        return true;
    });

    std::string snapshot;
    EXPECT_EQ(grabber.capture(std::chrono::milliseconds(300), snapshot), ScreenGrabber::Capture::NoScreen);
    firstGaveUp.set_value();
    EXPECT_EQ(grabber.capture(std::chrono::seconds(20), snapshot), ScreenGrabber::Capture::Screen);
    done = true;
    EXPECT_TRUE(snapshot == snapshotOf(timely)) << (snapshot == snapshotOf(late) ? "the late answer was taken" : "");
    EXPECT_TRUE(instrument.get());
}
