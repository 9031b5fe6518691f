// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "Engine.h"
#include "TestSupport.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <fstream>

namespace korvane::test {

// An engine in a scratch working folder, with simulated instruments linked
// into that folder as COMn.
class EngineFixture : public ::testing::Test {
protected:
    EngineFixture()
        : engine(host, patientConfig(dir.path()))
    {
        engine.initEngine();
    }

    // The test search with a viewer's wait for an answer: a busy machine may
    // hold a simulated instrument up for a few hundred milliseconds.
    static EngineConfig patientConfig(const std::filesystem::path& workDir)
    {
        EngineConfig config = testConfig(workDir);
        config.probe.firstByteMs = 2000;
        config.probe.totalMs = 3000;
        return config;
    }

    zls740sim::Zls740Simulator& instrument(int com, zls740sim::SimulatorOptions options = {})
    {
        return instruments.start(dir.path(), com, options);
    }

    // A replay file of the given frames, for answers whose content is known.
    std::string replayFile(const std::vector<zls740sim::Frame>& frames)
    {
        const std::string path = dir.file("replay.bin");
        std::ofstream out(path, std::ios::binary);
        for (const auto& frame : frames)
            out.write(reinterpret_cast<const char*>(frame.data()), frame.size());
        return path;
    }

    static zls740sim::Frame uniformFrame(std::uint8_t value)
    {
        zls740sim::Frame frame;
        frame.fill(value);
        return frame;
    }

    // Connects to `com` as the Connect command does after a probe found it.
    void connect()
    {
        engine.findScope();
        ASSERT_EQ(engine.openLink(), 0);
    }

    bool screenDecoded() const
    {
        return engine.screen().read([](const ScreenView&) {});
    }

    std::uint64_t screenNumber() const
    {
        std::uint64_t number = 0;
        engine.screen().read([&](const ScreenView& view) { number = view.screenNumber; });
        return number;
    }

    ScratchDir dir;
    FakeHost host;
    Instruments instruments;
    Engine engine;
};

}  // namespace korvane::test
