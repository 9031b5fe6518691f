// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>

namespace zls740sim {

// Replaces `path` with `size` bytes so that a reader sees either the old or
// the new contents, never a half-written file: the bytes go to a temporary
// file beside it, which is then renamed over it. Returns false with a reason
// in `error` (the temporary file is removed again).
bool writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* error = nullptr);

}  // namespace zls740sim
