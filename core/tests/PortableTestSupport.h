// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "CommonTestSupport.h"
#include "Engine.h"
#include "EngineHost.h"
#include "Palettes.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace korvane::test {

// What the engine's tests need on every system, with no simulated line.

// Counts what the engine tells its host.
class FakeHost : public EngineHost {
public:
    void screenPublished() override
    {
        ++screens;
        if (onScreen)
            onScreen();
    }
    void linkLost() override { ++linkLosses; }
    void linkClosed() override { ++linkCloses; }
    void openFailed() override { ++openFailures; }
    std::atomic<int> screens{0};
    std::atomic<int> linkLosses{0};
    std::atomic<int> linkCloses{0};
    std::atomic<int> openFailures{0};
    // Called on the reader thread right after each screen is published.
    std::function<void()> onScreen;
};

// An engine's settings for a test in `workDir`: a search that waits less
// for silent ports than the viewer does, so that tests of many ports stay quick.
EngineConfig testConfig(const std::filesystem::path& workDir, const std::string& programDir = {});

// Whether 16 palette entries as stored (blue, green, red, reserved) hold `palette`'s colours.
bool isPalette(const std::uint8_t* entries, const Palette& palette);

}  // namespace korvane::test
