// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

#include "Engine.h"
#include "HeadlessHost.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace korvane {

// Takes single screens through the engine. The reader thread sleeps (paused)
// between captures, so the instrument is asked for exactly one screen each
// time, and the viewer's link log is left alone.
class ScreenGrabber {
public:
    enum class Capture { Screen, NoScreen, LinkLost };

    // `config` as for the viewer; its link log is switched off here.
    ScreenGrabber(EngineConfig config, bool monochrome);
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // Probes COM9 down to COM2 as the viewer's Connect does; false when no
    // port answered.
    bool findInstrument();
    // Takes `name` (COMn, or a device path) instead of probing.
    void usePort(const std::string& name);
    // Opens the port with the reader thread idle; false when it cannot be opened.
    bool openLink();
    // Asks for one screen and waits for it at most `timeout`. On Screen,
    // `snapshot` holds it as the viewer's snapshot file would (38518 bytes).
    Capture capture(std::chrono::milliseconds timeout, std::string& snapshot);

    // The engine, for its search and open results (LinkReport).
    const Engine& engine() const { return engine_; }

private:
    // The engine's news, on its reader thread.
    void screenPublished();
    void linkLost();
    // The request number of the latest screen, 0 before the first.
    std::uint64_t latestAnswer() const;

    std::mutex lock_;
    std::condition_variable changed_;
    bool linkLost_ = false;
    // Screens answering requests up to this one are stale: asked for by a
    // capture that gave up waiting.
    std::atomic<std::uint64_t> staleUpTo_{0};
    // After the members above: the engine's reader thread ends before they go.
    HeadlessHost host_;
    Engine& engine_ = host_.engine();
};

}  // namespace korvane
