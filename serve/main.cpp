// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ServeProgram.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const int code = korvane::ServeProgram::run(std::vector<std::string>(argv + 1, argv + argc),
                                                ec ? std::string() : self.parent_path().string(), std::cout, std::cerr);
    // Everything written has been flushed, unless the output takes nothing
    // (a paused terminal, a log reader that hangs): then a normal exit would
    // wait for it at the flush of the standard streams, for ever.
    std::_Exit(code);
}
