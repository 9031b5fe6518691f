// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "PortableTestSupport.h"
#include "PseudoTerminal.h"
#include "Zls740Simulator.h"

#include <cstdint>
#include <filesystem>
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

// The snapshot the viewer's engine writes after decoding `frame` with the
// header `header` in colour mode `mode`.
std::string engineSnapshot(const zls740sim::Frame& frame, const HeaderBytes& header, std::int32_t mode);

}  // namespace korvane::test
