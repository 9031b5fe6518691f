// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace korvane {

// korvane-serve from its command line to its exit code.
class ServeProgram {
public:
    // `programDir`: where header2.bin is looked for after the current folder.
    static int run(const std::vector<std::string>& arguments, const std::string& programDir, std::ostream& out,
                   std::ostream& err);
};

}  // namespace korvane
