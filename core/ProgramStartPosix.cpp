// Korvane - shared by the programs: a program's start on POSIX systems.
// SPDX-License-Identifier: MIT
#include "ProgramStart.h"

#include <filesystem>
#include <system_error>

namespace korvane {

std::vector<std::string> ProgramStart::arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ProgramStart::folder(const char* argv0)
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        program = std::filesystem::absolute(argv0, error);
    return error ? std::string() : program.parent_path().string();
}

}  // namespace korvane
