// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "SimulatorState.h"

#include <cstdio>

namespace zls740sim {

namespace {

void appendHex(std::string& text, const std::uint8_t* bytes, std::size_t size)
{
    char hex[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        text += hex;
    }
}

}  // namespace

std::size_t SimulatorState::addReceived(const std::uint8_t* data, std::size_t size)
{
    std::size_t completed = 0;
    {
        std::lock_guard lock(mutex_);
        std::vector<std::uint8_t>& pending = seen_.pending;
        for (std::size_t i = 0; i < size; ++i) {
            pending.push_back(data[i]);
            if (pending.size() == kRequestBytes) {
                if (seen_.requests.size() < kKeptRequests)
                    seen_.requests.push_back({pending[0], pending[1], pending[2], pending[3]});
                ++seen_.requestCount;
                pending.clear();
                ++completed;
            }
        }
    }
    changed_.notify_all();
    return completed;
}

void SimulatorState::dropPending()
{
    std::lock_guard lock(mutex_);
    seen_.pending.clear();
}

void SimulatorState::publishFrame(const Frame& frame)
{
    {
        std::lock_guard lock(mutex_);
        seen_.lastFrame = frame;
        ++seen_.framesSent;
    }
    changed_.notify_all();
}

void SimulatorState::setLink(bool up, const std::string& slavePath)
{
    {
        std::lock_guard lock(mutex_);
        seen_.linkUp = up;
        seen_.slavePath = slavePath;
    }
    changed_.notify_all();
}

std::string SimulatorState::reportText() const
{
    std::lock_guard lock(mutex_);
    std::string text;
    text.reserve(64 + seen_.requests.size() * 20);
    text += "requests " + std::to_string(seen_.requestCount) + "\n";
    text += "frames " + std::to_string(seen_.framesSent) + "\n";
    text += seen_.linkUp ? "link up " + seen_.slavePath + "\n" : std::string("link down\n");
    text += "pending";
    appendHex(text, seen_.pending.data(), seen_.pending.size());
    text += "\n";
    for (const auto& request : seen_.requests) {
        text += "request";
        appendHex(text, request.data(), request.size());
        text += "\n";
    }
    return text;
}

}  // namespace zls740sim
