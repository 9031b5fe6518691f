// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include "Zls740Simulator.h"

#include <array>
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

    // Adds received bytes; returns how many requests they completed.
    std::size_t addReceived(const std::uint8_t* data, std::size_t size);
    // Drops bytes of an unfinished request (the link went away under it).
    void dropPending();
    void publishFrame(const Frame& frame);
    void setLink(bool up, const std::string& slavePath);

    std::uint64_t requestCount() const;
    std::vector<std::array<std::uint8_t, 4>> requests() const;
    std::vector<std::uint8_t> pendingBytes() const;
    std::uint64_t framesSent() const;
    Frame lastFrame() const;
    bool linkUp() const;
    std::string slavePath() const;

    bool waitForRequests(std::uint64_t n, int timeoutMs) const;
    bool waitForFrames(std::uint64_t n, int timeoutMs) const;
    bool waitForLinkState(bool up, int timeoutMs) const;

    // The report file's text:
    //   requests N
    //   frames N
    //   link up /dev/pts/N      (or: link down)
    //   pending [XX ...]        bytes of an unfinished request
    //   request XX XX XX XX     one line per request, in arrival order (the
    //                           first kKeptRequests only)
    std::string reportText() const;

private:
    template <typename Done>
    bool waitFor(int timeoutMs, Done done) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::uint64_t requestCount_ = 0;
    std::vector<std::array<std::uint8_t, 4>> requests_;
    std::vector<std::uint8_t> pending_;
    std::uint64_t framesSent_ = 0;
    Frame lastFrame_{};
    bool linkUp_ = false;
    std::string slavePath_;
};

}  // namespace zls740sim
