// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>

namespace korvane {

// Replaces the file at `path` with `size` bytes, all or nothing: they are
// written to a new file beside it (close-on-exec, readable as the user's
// umask allows, like any file the user makes), which is then renamed over
// the target. On failure the target is as it was, nothing is left beside it,
// and `error` (if given) says what failed: "cannot create a file beside PATH:
// reason" or "cannot write PATH: reason".
bool replaceFile(const std::string& path, const void* data, std::size_t size, std::string* error = nullptr);

}  // namespace korvane
