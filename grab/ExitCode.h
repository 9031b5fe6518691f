// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

namespace korvane {

// korvane-grab's exit codes, as --help and the manual page list them.
enum class ExitCode : int {
    Success = 0,
    // No port answered the search, the named port cannot be opened, or no
    // complete screen came within the time-out.
    NoInstrument = 1,
    // The command line cannot be used; nothing was asked of the instrument.
    UsageError = 2,
    // The instrument went away while screens were being taken.
    LinkLost = 3,
    // An image could not be written; a file of that name is left as it was.
    WriteFailed = 4,
};

}  // namespace korvane
