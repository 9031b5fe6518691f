// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ConsoleText.h"
#include "ProgramStart.h"
#include "ServeProgram.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    const int code =
        korvane::ServeProgram::run(korvane::ProgramStart::arguments(argc, argv), korvane::ProgramStart::folder(argv[0]),
                                   korvane::ConsoleText::out(), korvane::ConsoleText::err());
    // Everything written has been flushed, unless the output takes nothing
    // (a paused terminal, a log reader that hangs): then a normal exit would
    // wait for it at the flush of the standard streams, for ever.
    std::_Exit(code);
}
