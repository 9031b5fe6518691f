// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "CommonTestSupport.h"
#include "Engine.h"
#include "EngineHost.h"
#include "Palettes.h"
#include "PseudoTerminal.h"
#include "Zls740Simulator.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace korvane::test {

// A pseudo-terminal whose master end the test plays; the slave end is what
// the engine opens as a serial port.
class TestLine {
public:
    TestLine();
    const std::string& slavePath() const { return pty_.slavePath(); }
    void writeAll(const std::vector<std::uint8_t>& bytes);
    // Everything that arrives within `ms` after the last byte (or the first wait).
    std::vector<std::uint8_t> readFor(int ms);
    // Waits (with a generous deadline) until the viewer has sent one whole
    // 4-byte request; true when it came.
    bool awaitRequest();
    // Bytes written here that the viewer's side has received and not read.
    int unreadByViewer() const { return pty_.unreadBySlave(); }

private:
    ScratchDir dir_;
    zls740sim::PseudoTerminal pty_;
};

// Simulated instruments, each linked into a folder as COMn; they are
// stopped (and their links removed) when cleared or destroyed.
class Instruments {
public:
    // Throws when the instrument cannot start.
    zls740sim::Zls740Simulator& start(const std::filesystem::path& dir, int com,
                                      zls740sim::SimulatorOptions options = {});
    void clear() { running_.clear(); }

private:
    std::vector<std::unique_ptr<zls740sim::Zls740Simulator>> running_;
};

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

// The snapshot the viewer's engine writes after decoding `frame` with the
// header `header` in colour mode `mode`.
std::string engineSnapshot(const zls740sim::Frame& frame, const HeaderBytes& header, std::int32_t mode);

}  // namespace korvane::test
