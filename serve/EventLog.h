// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

namespace korvane {

// korvane-serve's event lines, written by a thread of their own so that an
// output that stops taking them (a paused terminal, a log reader that hangs)
// never holds up serving. Lines wait in a bounded queue; when it is full
// they are dropped and counted, and once the output takes lines again a
// line says how many were lost.
class EventLog {
public:
    // Lines that may wait for the output before new ones are dropped.
    static constexpr std::size_t kMostWaiting = 1000;

    explicit EventLog(std::ostream& out);
    // Waits a moment for the lines still queued, then ends the writing
    // thread; one stuck in a write to an output that takes nothing is let
    // go instead, so that the program can end.
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Queues one line; never waits for the output.
    void say(std::string line);
    // Waits up to `timeout` for every queued line to be written; false when
    // the output has not taken them by then.
    bool finish(std::chrono::milliseconds timeout);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread writer_;
};

}  // namespace korvane
