// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>

namespace korvane {

// Writes all `size` bytes to the blocking descriptor `fd`, going on after
// interrupted and partial writes. False with the reason in `err` when it
// cannot (a full disk gives ENOSPC, also when the system only writes 0).
// POSIX systems only: Windows code writes to handles.
bool writeAll(int fd, const void* data, std::size_t size, int* err = nullptr);

// Writes all `size` bytes to standard output as they are (no line ends
// translated, as Windows' text mode would). False with the system's words
// in `reason` when it cannot.
bool writeStandardOutput(const void* data, std::size_t size, std::string* reason);

}  // namespace korvane
