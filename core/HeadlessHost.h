// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "Engine.h"
#include "EngineHost.h"

#include <atomic>
#include <functional>

namespace korvane {

// The engine of a program with no window (korvane-grab, korvane-serve), and
// its host. Nobody is there to close "DSO Connection Error", so a lost link
// is acknowledged at once: the reader closes the port and ends. Such a
// program may run beside the viewer, whose link log it leaves alone.
class HeadlessHost final : private EngineHost {
public:
    // Called on the engine's threads; each must return at once. None is
    // called once shutdown() has begun.
    struct Handlers {
        std::function<void()> screenPublished;
        // After the loss has been acknowledged.
        std::function<void()> linkLost;
        std::function<void()> searchFinished;
    };

    // `config` as for the viewer, without its link log; monochrome or
    // colour screens from the start.
    HeadlessHost(EngineConfig config, bool monochrome, Handlers handlers);
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    Engine& engine() { return engine_; }
    const Engine& engine() const { return engine_; }

    // Ends the engine's threads; idempotent.
    void shutdown();

private:
    void screenPublished() override;
    void linkLost() override;
    void searchFinished() override;

    const Handlers handlers_;
    // Set by shutdown(): events from the engine's last moments are dropped.
    std::atomic<bool> quiet_{false};
    // Last member: its threads end before the members above go.
    Engine engine_;
};

}  // namespace korvane
