// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ServeProgram.h"

#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return korvane::ServeProgram::run(std::vector<std::string>(argv + 1, argv + argc),
                                      ec ? std::string() : self.parent_path().string(), std::cout, std::cerr);
}
