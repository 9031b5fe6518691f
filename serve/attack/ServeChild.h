// Korvane - korvane-serve's benchmark and attack test.
// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace korvane::attack {

// korvane-serve as a process of its own, so that the processor time and
// memory it takes can be read from /proc apart from the viewers' and the
// instrument's. Its standard output is kept line by line, or left unread
// for a while, as by a log reader that hangs.
class ServeChild {
public:
    ServeChild() = default;
    ~ServeChild();
    ServeChild(const ServeChild&) = delete;
    ServeChild& operator=(const ServeChild&) = delete;

    // Starts `program` in `folder` with `arguments`, allowed `descriptors`
    // open files (0: as this process); false with the reason.
    bool start(const std::string& program, const std::string& folder, const std::vector<std::string>& arguments,
               std::string* error, unsigned descriptors = 0);
    // Stops reading the output (the pipe fills, then the process's writes
    // wait) or reads it again.
    void readOutput(bool reading);
    // How many lines so far contain `text`.
    std::size_t linesWith(const std::string& text) const;
    pid_t pid() const { return pid_; }
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
    std::condition_variable readingChanged_;
    bool reading_ = true;
    std::vector<std::string> lines_;
};

}  // namespace korvane::attack
