// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
//
// korvane-grab: takes the instrument's screen from a script and writes it as
// an image file.
#include "GrabProgram.h"

#include <filesystem>
#include <system_error>

int main(int argc, char* argv[])
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        program = std::filesystem::absolute(argv[0], error);
    return korvane::GrabProgram::run(std::vector<std::string>(argv + 1, argv + argc), program.parent_path().string());
}
