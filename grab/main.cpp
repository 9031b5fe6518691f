// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
//
// korvane-grab: takes the instrument's screen from a script and writes it as
// an image file.
#include "GrabProgram.h"
#include "ProgramStart.h"

int main(int argc, char* argv[])
{
    return korvane::GrabProgram::run(korvane::ProgramStart::arguments(argc, argv),
                                     korvane::ProgramStart::folder(argv[0]));
}
