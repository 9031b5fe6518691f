// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace korvane {

// What a program without a window learns from the system as it starts, in
// the UTF-8 of the rest of the core. The platform's implementation lives in
// a file of its own beside this one.
class ProgramStart {
public:
    // The command line's arguments after the program's name. On Windows they
    // are taken from the system's own wide command line: main's `argv` holds
    // them in the ANSI code page, which loses any character outside it.
    static std::vector<std::string> arguments(int argc, char** argv);
    // The folder of the running program's file; empty when the system
    // cannot tell.
    static std::string folder(const char* argv0);
};

}  // namespace korvane
