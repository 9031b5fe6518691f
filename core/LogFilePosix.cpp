// Korvane - screen acquisition engine: the link log on POSIX systems.
// SPDX-License-Identifier: MIT
#include "LogFile.h"

namespace korvane {

std::FILE* createLogFile(const std::string& path)
{
    // "e": close-on-exec.
    return std::fopen(path.c_str(), "wbe");
}

}  // namespace korvane
