// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "EventLog.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace korvane {

namespace {

// How long the end of the program waits for its last lines.
constexpr std::chrono::milliseconds kLastWords{250};

}  // namespace

// Held by the log and by its thread: a thread stuck in a write outlives the
// log without touching freed memory.
struct EventLog::Shared {
    std::ostream& out;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> waiting;
    std::size_t dropped = 0;
    bool writing = false;  // a batch is on its way to the output
    bool ending = false;

    explicit Shared(std::ostream& stream)
        : out(stream)
    {
    }

    void write()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return ending || !waiting.empty() || dropped > 0; });
            if (waiting.empty() && dropped == 0)
                return;  // ending, with nothing left
            // Dropped lines came after every line queued with them: the
            // note about them goes after those.
            std::deque<std::string> batch = std::exchange(waiting, {});
            const std::size_t lost = std::exchange(dropped, 0);
            writing = true;
            lock.unlock();
            for (const std::string& line : batch)
                out << line << '\n';
            if (lost > 0)
                out << "(" << lost << " event line" << (lost == 1 ? "" : "s")
                    << " dropped: the output took none for a while)\n";
            out.flush();
            lock.lock();
            writing = false;
            changed.notify_all();
        }
    }
};

EventLog::EventLog(std::ostream& out)
    : shared_(std::make_shared<Shared>(out))
    , writer_([shared = shared_] { shared->write(); })
{
}

EventLog::~EventLog()
{
    const bool written = finish(kLastWords);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->ending = true;
        shared_->changed.notify_all();
    }
    if (written)
        writer_.join();
    else
        writer_.detach();
}

void EventLog::say(std::string line)
{
    std::lock_guard lock(shared_->mutex);
    if (shared_->waiting.size() >= kMostWaiting) {
        ++shared_->dropped;
        return;
    }
    shared_->waiting.push_back(std::move(line));
    shared_->changed.notify_all();
}

bool EventLog::finish(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(
        lock, timeout, [&] { return shared_->waiting.empty() && shared_->dropped == 0 && !shared_->writing; });
}

}  // namespace korvane
