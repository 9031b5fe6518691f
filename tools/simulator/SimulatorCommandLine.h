// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include "SimulatorOptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zls740sim {

// The zls740-sim program's command line.
struct SimulatorCommandLine {
    SimulatorOptions options;
    bool help = false;
    // --write-frame FILE: write drawFrame(frameIndex) to FILE and exit.
    std::string writeFrameFile;
    std::uint64_t frameIndex = 0;

    // Parses the arguments after the program name; options take their value
    // as the next argument or after '='. Returns false with a reason in `error`.
    static bool parse(const std::vector<std::string>& arguments, SimulatorCommandLine& result, std::string* error);
    static std::string usage();
};

}  // namespace zls740sim
