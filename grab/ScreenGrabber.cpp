// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "ScreenGrabber.h"

#include "SnapshotWriter.h"

#include <sstream>

namespace korvane {

ScreenGrabber::ScreenGrabber(EngineConfig config, bool monochrome)
    : host_(std::move(config), monochrome,
            {.screenPublished = [this] { screenPublished(); },
             .linkLost = [this] { linkLost(); },
             // The search runs on the caller's thread (findInstrument()).
             .searchFinished = nullptr})
{
    // The reader thread starts idle and asks for a screen only in capture().
    engine_.setPaused(1);
}

bool ScreenGrabber::findInstrument()
{
    engine_.findScope();
    return engine_.portFound();
}

void ScreenGrabber::usePort(const std::string& name)
{
    engine_.setPortName(name);
}

bool ScreenGrabber::openLink()
{
    return engine_.openLink() == 0;
}

std::uint64_t ScreenGrabber::latestAnswer() const
{
    std::uint64_t request = 0;
    engine_.screen().read([&](const ScreenView& view) { request = view.requestNumber; });
    return request;
}

ScreenGrabber::Capture ScreenGrabber::capture(std::chrono::milliseconds timeout, std::string& snapshot)
{
    // Only a screen asked for by this capture counts: the answer to an
    // earlier capture's request that came too late is not this moment's.
    staleUpTo_ = engine_.requestsSent();
    std::unique_lock lock(lock_);
    if (linkLost_)
        return Capture::LinkLost;
    engine_.setPaused(0);
    changed_.wait_for(lock, timeout, [&] { return linkLost_ || latestAnswer() > staleUpTo_; });
    // After a time-out the reader may still wait for its answer; it must not
    // ask again.
    engine_.setPaused(1);
    std::ostringstream out;
    bool taken = false;
    engine_.screen().read([&](const ScreenView& view) {
        if (view.requestNumber > staleUpTo_) {
            SnapshotWriter::write(out, view);
            taken = true;
        }
    });
    if (taken) {
        snapshot = std::move(out).str();
        return Capture::Screen;
    }
    return linkLost_ ? Capture::LinkLost : Capture::NoScreen;
}

void ScreenGrabber::screenPublished()
{
    // Called on the reader thread right after each decoded screen, before it
    // would send the next request: pausing here makes one request a capture.
    // A stale screen does not end the capture; the reader asks again.
    if (latestAnswer() <= staleUpTo_)
        return;
    engine_.setPaused(1);
    {
        // Taken and dropped so that a capture() between its check and its
        // wait cannot miss this screen.
        std::lock_guard lock(lock_);
    }
    changed_.notify_all();
}

void ScreenGrabber::linkLost()
{
    {
        std::lock_guard lock(lock_);
        linkLost_ = true;
    }
    changed_.notify_all();
}

}  // namespace korvane
