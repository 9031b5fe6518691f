// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "SerialPort.h"

#include <chrono>
#include <cstddef>

namespace korvane {

// The clock of one SerialPort::read: from its ReadLimits and the bytes seen
// so far, how long the platform may wait for more before the read is over.
// The same rules on every system; only the waiting is the platform's.
class ReadTimer {
public:
    using Clock = std::chrono::steady_clock;

    // The read starts now.
    explicit ReadTimer(ReadLimits limits);

    // The total limit has passed: the read ends with what it has, even while
    // bytes keep coming.
    bool totalPassed() const;
    // How long the next wait for bytes may last, in milliseconds: the first
    // byte's limit until one came, then the gap limit from the latest byte,
    // never past the total limit. -1: no limit applies.
    int nextWaitMs() const;
    // `count` bytes have just come.
    void bytesCame(std::size_t count);

    bool anyByte() const { return bytes_ > 0; }
    // Bytes after the first batch, and the time since it came: the rate
    // the line delivers at.
    std::size_t bytesAfterFirstBatch() const { return bytes_ - firstBatch_; }
    Clock::duration sinceFirstBatch() const { return lastByteAt_ - firstByteAt_; }

private:
    ReadLimits limits_;
    Clock::time_point start_;
    Clock::time_point firstByteAt_{};
    Clock::time_point lastByteAt_{};
    std::size_t bytes_ = 0;
    std::size_t firstBatch_ = 0;
};

// Whole milliseconds from now until `deadline`, rounded up; 0 once it has passed.
int msUntil(ReadTimer::Clock::time_point deadline);

}  // namespace korvane
