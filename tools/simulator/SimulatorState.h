// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include "Zls740Simulator.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zls740sim {

// What the simulated instrument has received and sent, written by the
// serving thread and read by anyone; every member is behind one lock.
class SimulatorState {
public:
    static constexpr std::size_t kRequestBytes = 4;
    // Requests whose bytes are kept (and listed in the report); later ones
    // are only counted. Only a viewer that echoes answers back gets there.
    static constexpr std::size_t kKeptRequests = 1000000;

    // Everything Zls740Simulator's queries report; their meaning is
    // described there.
    struct Seen {
        std::uint64_t requestCount = 0;
        std::vector<std::array<std::uint8_t, 4>> requests;
        std::vector<std::uint8_t> pending;
        std::uint64_t framesSent = 0;
        Frame lastFrame{};
        bool linkUp = false;
        std::string slavePath;
    };

    // Adds received bytes; returns how many requests they completed.
    std::size_t addReceived(const std::uint8_t* data, std::size_t size);
    // Drops bytes of an unfinished request (the link went away under it).
    void dropPending();
    void publishFrame(const Frame& frame);
    void setLink(bool up, const std::string& slavePath);

    // Returns reader(seen), taken under the lock.
    template <typename Read>
    auto read(Read reader) const
    {
        std::lock_guard lock(mutex_);
        return reader(seen_);
    }
    // Blocks until done(seen) holds or the timeout (ms) ends; true if it holds.
    template <typename Done>
    bool waitFor(int timeoutMs, Done done) const
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                 [&] { return done(seen_); });
    }

    // The report file's text:
    //   requests N
    //   frames N
    //   link up /dev/pts/N      (or: link down)
    //   pending [XX ...]        bytes of an unfinished request
    //   request XX XX XX XX     one line per request, in arrival order (the
    //                           first kKeptRequests only)
    std::string reportText() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Seen seen_;
};

}  // namespace zls740sim
