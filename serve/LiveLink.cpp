// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "LiveLink.h"

#include "SnapshotWriter.h"

#include <sstream>

namespace korvane {

namespace {

EngineConfig withoutLinkLog(EngineConfig config)
{
    // log.txt is the viewer's: a server started beside it must not empty it.
    config.linkLog = false;
    return config;
}

}  // namespace

LiveLink::LiveLink(EngineConfig config, bool monochrome, std::function<void(Event)> notify)
    : notify_(std::move(notify))
    , engine_(*this, withoutLinkLog(std::move(config)))
{
    engine_.initEngine();
    engine_.setColorMode(monochrome ? 0 : 1);
}

LiveLink::~LiveLink()
{
    shutdown();
}

void LiveLink::shutdown()
{
    quiet_ = true;
    engine_.shutdown();
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

void LiveLink::requestRepaint()
{
    if (!quiet_ && !screenPending_.exchange(true))
        notify_(Event::Screen);
}

void LiveLink::showConnectionError()
{
    // Nobody is there to close a box: the reader may close the port at once
    // and end; the server looks for the instrument again on its own.
    engine_.acknowledgeConnectionError();
    if (!quiet_)
        notify_(Event::LinkLost);
}

void LiveLink::searchFinished()
{
    if (!quiet_)
        notify_(Event::SearchOver);
}

}  // namespace korvane
