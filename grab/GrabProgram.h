// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace korvane {

// The korvane-grab program: reads its command line, takes the screens and
// writes them, and reports a failure as one line on standard error.
class GrabProgram {
public:
    // `arguments` without the program name; `programDir` is the folder of
    // the running program (header2.bin beside it). Returns an ExitCode.
    static int run(const std::vector<std::string>& arguments, const std::string& programDir);
};

}  // namespace korvane
