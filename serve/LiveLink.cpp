// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "LiveLink.h"

#include "SnapshotWriter.h"

#include <sstream>

namespace korvane {

LiveLink::LiveLink(EngineConfig config, bool monochrome, std::function<void(Event)> notify)
    : notify_(std::move(notify))
    , host_(std::move(config), monochrome,
            {.screenPublished = [this] { screenPublished(); },
             // The server looks for the instrument again on its own.
             .linkLost = [this] { notify_(Event::LinkLost); },
             .searchFinished = [this] { notify_(Event::SearchOver); }})
{
}

std::uint64_t LiveLink::newerSnapshot(std::uint64_t after, std::string& snapshot)
{
    screenPending_ = false;
    std::uint64_t number = 0;
    std::ostringstream out;
    engine_.screen().read([&](const ScreenView& view) {
        if (view.screenNumber > after) {
            SnapshotWriter::write(out, view);
            number = view.screenNumber;
        }
    });
    if (number != 0)
        snapshot = std::move(out).str();
    return number;
}

void LiveLink::screenPublished()
{
    if (!screenPending_.exchange(true))
        notify_(Event::Screen);
}

}  // namespace korvane
