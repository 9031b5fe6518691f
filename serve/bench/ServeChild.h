// Korvane - korvane-serve benchmarks.
// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace korvane::bench {

// korvane-serve as a process of its own, so that the processor time it
// takes can be read from /proc apart from the viewers' and the instrument's.
// Its standard output is kept line by line.
class ServeChild {
public:
    ServeChild() = default;
    ~ServeChild();
    ServeChild(const ServeChild&) = delete;
    ServeChild& operator=(const ServeChild&) = delete;

    // Starts `program` in `folder` with `arguments`; false with the reason.
    bool start(const std::string& program, const std::string& folder, const std::vector<std::string>& arguments,
               std::string* error);
    // The first line containing `text`, waiting up to `timeout`; empty if none came.
    std::string waitForLine(const std::string& text, std::chrono::milliseconds timeout);
    // User and system time the process has taken so far, in seconds.
    double processorSeconds() const;
    // Ends the process (SIGTERM) and waits for it.
    void stop();

private:
    void collect();

    pid_t pid_ = -1;
    int output_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace korvane::bench
