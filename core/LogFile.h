// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>

namespace korvane {

// Creates the link log `path` anew (an existing one is emptied) for writing
// bytes, not handed on to programs started later; where the system can, no
// other program may open it while it is open. Null when it cannot be made.
// The platform's implementation lives in a file of its own beside this one.
std::FILE* createLogFile(const std::string& path);

}  // namespace korvane
