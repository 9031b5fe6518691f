// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "SimulatorState.h"

#include <chrono>
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
        for (std::size_t i = 0; i < size; ++i) {
            pending_.push_back(data[i]);
            if (pending_.size() == kRequestBytes) {
                if (requests_.size() < kKeptRequests)
                    requests_.push_back({pending_[0], pending_[1], pending_[2], pending_[3]});
                ++requestCount_;
                pending_.clear();
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
    pending_.clear();
}

void SimulatorState::publishFrame(const Frame& frame)
{
    {
        std::lock_guard lock(mutex_);
        lastFrame_ = frame;
        ++framesSent_;
    }
    changed_.notify_all();
}

void SimulatorState::setLink(bool up, const std::string& slavePath)
{
    {
        std::lock_guard lock(mutex_);
        linkUp_ = up;
        slavePath_ = slavePath;
    }
    changed_.notify_all();
}

std::uint64_t SimulatorState::requestCount() const
{
    std::lock_guard lock(mutex_);
    return requestCount_;
}

std::vector<std::array<std::uint8_t, 4>> SimulatorState::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::uint8_t> SimulatorState::pendingBytes() const
{
    std::lock_guard lock(mutex_);
    return pending_;
}

std::uint64_t SimulatorState::framesSent() const
{
    std::lock_guard lock(mutex_);
    return framesSent_;
}

Frame SimulatorState::lastFrame() const
{
    std::lock_guard lock(mutex_);
    return lastFrame_;
}

bool SimulatorState::linkUp() const
{
    std::lock_guard lock(mutex_);
    return linkUp_;
}

std::string SimulatorState::slavePath() const
{
    std::lock_guard lock(mutex_);
    return slavePath_;
}

template <typename Done>
bool SimulatorState::waitFor(int timeoutMs, Done done) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs), done);
}

bool SimulatorState::waitForRequests(std::uint64_t n, int timeoutMs) const
{
    return waitFor(timeoutMs, [&] { return requestCount_ >= n; });
}

bool SimulatorState::waitForFrames(std::uint64_t n, int timeoutMs) const
{
    return waitFor(timeoutMs, [&] { return framesSent_ >= n; });
}

bool SimulatorState::waitForLinkState(bool up, int timeoutMs) const
{
    return waitFor(timeoutMs, [&] { return linkUp_ == up; });
}

std::string SimulatorState::reportText() const
{
    std::lock_guard lock(mutex_);
    std::string text;
    text.reserve(64 + requests_.size() * 20);
    text += "requests " + std::to_string(requestCount_) + "\n";
    text += "frames " + std::to_string(framesSent_) + "\n";
    text += linkUp_ ? "link up " + slavePath_ + "\n" : std::string("link down\n");
    text += "pending";
    appendHex(text, pending_.data(), pending_.size());
    text += "\n";
    for (const auto& request : requests_) {
        text += "request";
        appendHex(text, request.data(), request.size());
        text += "\n";
    }
    return text;
}

}  // namespace zls740sim
