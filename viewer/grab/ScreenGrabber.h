// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

#include "Engine.h"
#include "EngineHost.h"

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
class ScreenGrabber : private EngineHost {
public:
    enum class Capture { Screen, NoScreen, LinkLost };

    // `config` as for the viewer; its link log is switched off here.
    ScreenGrabber(EngineConfig config, bool monochrome);
    ~ScreenGrabber() override;
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // Probes COM9 down to COM2 as the viewer's Connect does; false when no
    // port answered.
    bool findInstrument();
    // Takes `name` (COMn, or a device path) instead of probing.
    void usePort(const std::string& name);
    // Opens the port with the reader thread idle; false when it cannot be opened.
    bool openLink();
    // After a failed openLink(): why, in a few words ("another program holds
    // it", or the system's reason such as "Permission denied").
    std::string openFailure() const;
    // After a search: the devices behind COM9..COM2 that exist but that this
    // user may not open, as "COM9 (/dev/ttyACM0)".
    std::vector<std::string> deniedPorts() const;
    // After a search: the ports passed over because they send unasked.
    std::vector<std::string> talkingPorts() const;

    // Asks for one screen and waits for it at most `timeout`. On Screen,
    // `snapshot` holds it as the viewer's snapshot file would (38518 bytes).
    Capture capture(std::chrono::milliseconds timeout, std::string& snapshot);

    // The port for messages: "COM5 (/dev/ttyUSB0)", or the name alone when
    // it is the device or names none.
    std::string portDescription() const;
    // The device the port's name leads to; empty when it names none.
    std::string portDevice() const;

private:
    void requestRepaint() override;
    void showConnectionError() override;
    // The request number of the latest screen, 0 before the first.
    std::uint64_t latestAnswer() const;

    std::mutex lock_;
    std::condition_variable changed_;
    bool linkLost_ = false;
    // Screens answering requests up to this one are stale: asked for by a
    // capture that gave up waiting.
    std::atomic<std::uint64_t> staleUpTo_{0};
    // Last member: its reader thread ends before the members above go.
    Engine engine_;
};

}  // namespace korvane
