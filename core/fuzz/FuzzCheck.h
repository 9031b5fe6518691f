// Korvane - screen acquisition engine fuzzers.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <cstdlib>

namespace korvane::fuzz {

// A broken promise: says which, and aborts, so that libFuzzer keeps the input.
inline void check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}

}  // namespace korvane::fuzz
