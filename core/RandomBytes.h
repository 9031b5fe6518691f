// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace korvane {

// Fills `size` bytes from the system's random source, the one fit for
// secrets. False when it cannot be read. The platform's implementation lives
// in a file of its own beside this one.
bool randomBytes(void* data, std::size_t size);

}  // namespace korvane
