// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "Engine.h"
#include "HeadlessHost.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace korvane {

// The instrument's link for korvane-serve: the engine pulling screens one
// request at a time whatever the number of viewers, and Pause stopping the
// requests as in korvane.
//
// Every call belongs to the server's I/O thread. The engine's threads only
// call `notify`, which must hand the event over to that thread and return.
class LiveLink {
public:
    enum class Event {
        Screen,      // a new screen may be read
        LinkLost,    // the instrument stopped answering or went away
        SearchOver,  // beginSearch() has ended; openLink() next
    };

    LiveLink(EngineConfig config, bool monochrome, std::function<void(Event)> notify);
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;

    // COM9 down to COM2 on a thread of the engine's; Event::SearchOver when done.
    void beginSearch() { engine_.beginSearch(); }
    // Takes `name` (COMn or a device) instead of searching.
    void usePort(const std::string& name) { engine_.setPortName(name); }
    // Opens the port and starts pulling screens; false when it cannot be opened.
    bool openLink() { return engine_.openLink() == 0; }

    // The latest screen as the snapshot file korvane's Save/Print writes
    // (38518 bytes), when it is newer than screen number `after`; its
    // number, or 0 with `snapshot` untouched.
    // Also lets the next screen raise Event::Screen again.
    std::uint64_t newerSnapshot(std::uint64_t after, std::string& snapshot);

    bool connected() const { return engine_.isConnected() == 1; }
    bool paused() const { return engine_.isPaused() == 1; }
    void setPaused(bool paused) { engine_.setPaused(paused ? 1 : 0); }
    bool colour() const { return engine_.isColorMode() == 1; }
    // Takes effect from the next screen, as in korvane.
    void setColour(bool colour) { engine_.setColorMode(colour ? 1 : 0); }

    // Its search and open results, for LinkReport.
    const Engine& engine() const { return engine_; }

    // Ends the engine's threads; no event comes afterwards.
    void shutdown() { host_.shutdown(); }

private:
    void screenPublished();

    std::function<void(Event)> notify_;
    // One Screen event waits at a time: screens the I/O thread has not
    // taken yet fold into it.
    std::atomic<bool> screenPending_{false};
    // After the members above: the engine's threads end before they go.
    HeadlessHost host_;
    Engine& engine_ = host_.engine();
};

}  // namespace korvane
