// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

namespace korvane {

// How a program without a window is asked to end: Ctrl+C or SIGTERM on
// POSIX systems; Ctrl+C, Ctrl+Break, closing its console window, logging
// off or shutting down on Windows. While this object lives, the first such
// request calls `onStop` on a thread of its own, and the program is left to
// end by returning from main (with its own exit code, 0 for a stop). On
// POSIX systems a reader that goes away meanwhile (a browser, the other end
// of standard output) makes writes fail with EPIPE instead of ending the
// program. One at a time per process. The platform's implementation lives
// in a file of its own beside this one.
class ConsoleStop {
public:
    explicit ConsoleStop(std::function<void()> onStop);
    ~ConsoleStop();
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
