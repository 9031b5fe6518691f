// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace korvane {

// Writes all `size` bytes to the blocking descriptor `fd`, going on after
// interrupted and partial writes. False with the reason in `err` when it
// cannot (a full disk gives ENOSPC, also when the system only writes 0).
bool writeAll(int fd, const void* data, std::size_t size, int* err = nullptr);

}  // namespace korvane
