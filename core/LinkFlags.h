// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

namespace korvane {

// The three flags that the window thread and the reader thread share. Each
// accessor takes `flagsLock` for one read or one write.
class LinkFlags {
public:
    std::int32_t isConnected() const;
    void setConnected(std::int32_t value);
    std::int32_t isPaused() const;
    void setPaused(std::int32_t value);
    std::int32_t isColorMode() const;
    void setColorMode(std::int32_t value);

    // Reader thread: returns once `paused` is 0 or `connected` is 0, or when
    // `stop` is requested. Sleeps meanwhile; the setters wake it.
    void waitWhilePaused(std::stop_token stop);

private:
    void store(std::int32_t& flag, std::int32_t value);

    mutable std::mutex flagsLock;
    std::condition_variable_any changed_;
    std::int32_t connected_ = 0;
    std::int32_t paused_ = 0;
    std::int32_t colorMode_ = 1;
};

}  // namespace korvane
