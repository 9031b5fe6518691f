// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "ReadTimer.h"

#include <algorithm>

namespace korvane {

namespace {

// The earlier of two waits, -1 meaning none.
int sooner(int a, int b)
{
    return a < 0 ? b : std::min(a, b);
}

}  // namespace

ReadTimer::ReadTimer(ReadLimits limits)
    : limits_(limits)
    , start_(Clock::now())
{
}

bool ReadTimer::totalPassed() const
{
    return limits_.totalMs > 0 && Clock::now() >= start_ + std::chrono::milliseconds(limits_.totalMs);
}

int ReadTimer::nextWaitMs() const
{
    int wait = limits_.totalMs > 0 ? msUntil(start_ + std::chrono::milliseconds(limits_.totalMs)) : -1;
    if (bytes_ == 0 && limits_.firstByteMs > 0)
        wait = sooner(wait, msUntil(start_ + std::chrono::milliseconds(limits_.firstByteMs)));
    if (bytes_ > 0 && limits_.gapMs > 0)
        wait = sooner(wait, msUntil(lastByteAt_ + std::chrono::milliseconds(limits_.gapMs)));
    return wait;
}

int msUntil(ReadTimer::Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ReadTimer::Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

void ReadTimer::bytesCame(std::size_t count)
{
    lastByteAt_ = Clock::now();
    if (bytes_ == 0) {
        firstByteAt_ = lastByteAt_;
        firstBatch_ = count;
    }
    bytes_ += count;
}

}  // namespace korvane
