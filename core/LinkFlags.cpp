// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "LinkFlags.h"

namespace korvane {

std::int32_t LinkFlags::isConnected() const
{
    std::lock_guard lock(flagsLock);
    return connected_;
}

void LinkFlags::setConnected(std::int32_t value)
{
    store(connected_, value);
}

std::int32_t LinkFlags::isPaused() const
{
    std::lock_guard lock(flagsLock);
    return paused_;
}

void LinkFlags::setPaused(std::int32_t value)
{
    store(paused_, value);
}

std::int32_t LinkFlags::isColorMode() const
{
    std::lock_guard lock(flagsLock);
    return colorMode_;
}

void LinkFlags::setColorMode(std::int32_t value)
{
    store(colorMode_, value);
}

void LinkFlags::store(std::int32_t& flag, std::int32_t value)
{
    {
        std::lock_guard lock(flagsLock);
        flag = value;
    }
    changed_.notify_all();
}

void LinkFlags::waitWhilePaused(std::stop_token stop)
{
    std::unique_lock lock(flagsLock);
    changed_.wait(lock, stop, [this] { return paused_ != 1 || connected_ == 0; });
}

}  // namespace korvane
