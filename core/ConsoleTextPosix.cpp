// Korvane - shared by the programs: text output on POSIX systems.
// SPDX-License-Identifier: MIT
#include "ConsoleText.h"

#include <iostream>

namespace korvane {

// A terminal takes the bytes as they are.
std::ostream& ConsoleText::out()
{
    return std::cout;
}

std::ostream& ConsoleText::err()
{
    return std::cerr;
}

}  // namespace korvane
