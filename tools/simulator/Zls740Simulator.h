// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include "FrameDrawing.h"
#include "SimulatorOptions.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zls740sim {

class SimulatorServer;
class SimulatorState;

// Stands in for the instrument on a pseudo-terminal. start() creates the
// pseudo-terminal and the link, then serves requests on a thread of its own
// until stop() or destruction. Safe to query from any thread.
class Zls740Simulator {
public:
    explicit Zls740Simulator(SimulatorOptions options);
    ~Zls740Simulator();
    Zls740Simulator(const Zls740Simulator&) = delete;
    Zls740Simulator& operator=(const Zls740Simulator&) = delete;

    // Returns false with a reason in `error` when the pseudo-terminal or the link cannot be made.
    bool start(std::string* error = nullptr);
    void stop();

    // Path of the link (`linkDir`/COMn) and of the current slave device.
    std::string linkPath() const;
    std::string slavePath() const;

    // Complete 4-byte requests seen (any content), and the raw bytes of
    // every request in arrival order (one entry of 4 bytes per request; the
    // first million only, which only a viewer echoing answers back exceeds).
    // Every request is answered in turn; at most 16 wait for their answer,
    // later ones are counted but not answered.
    std::uint64_t requestCount() const;
    std::vector<std::array<std::uint8_t, 4>> requests() const;
    // Bytes received that did not make up a whole request yet (or garbage).
    std::vector<std::uint8_t> pendingBytes() const;
    // Answers sent in full, and the frame content of the last one. Both (and
    // lastFrameFile) are updated together just before the write of the chunk
    // (at most 4096 bytes) that ends the frame, or a short answer, so whoever
    // has received a whole frame already sees it counted here; trailing bytes
    // may still follow.
    std::uint64_t framesSent() const;
    Frame lastFrame() const;
    // True while the link is up (false after closeAfterFrames closed it, until it reopens).
    bool linkUp() const;

    // Blocks until requestCount() >= n or the timeout (ms) ends; true if reached.
    bool waitForRequests(std::uint64_t n, int timeoutMs) const;
    bool waitForFrames(std::uint64_t n, int timeoutMs) const;
    // Blocks until linkUp() == up or the timeout (ms) ends; true if reached.
    bool waitForLinkState(bool up, int timeoutMs) const;

private:
    SimulatorOptions options_;
    // What the serving thread has seen and sent; shared with the queries.
    std::unique_ptr<SimulatorState> state_;
    // The pseudo-terminal and the answering; used by the serving thread only
    // while it runs.
    std::unique_ptr<SimulatorServer> server_;
    // Written by stop() to wake the serving thread out of poll() at once.
    int wakeFd_ = -1;
    std::thread thread_;
};

}  // namespace zls740sim
