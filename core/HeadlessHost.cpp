// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "HeadlessHost.h"

namespace korvane {

namespace {

EngineConfig withoutLinkLog(EngineConfig config)
{
    // log.txt is the viewer's: a program started beside it must not empty it.
    config.linkLog = false;
    return config;
}

}  // namespace

HeadlessHost::HeadlessHost(EngineConfig config, bool monochrome, Handlers handlers)
    : handlers_(std::move(handlers))
    , engine_(*this, withoutLinkLog(std::move(config)))
{
    engine_.initEngine();
    engine_.setColorMode(monochrome ? 0 : 1);
}

HeadlessHost::~HeadlessHost()
{
    shutdown();
}

void HeadlessHost::shutdown()
{
    quiet_ = true;
    engine_.shutdown();
}

void HeadlessHost::screenPublished()
{
    if (!quiet_ && handlers_.screenPublished)
        handlers_.screenPublished();
}

void HeadlessHost::linkLost()
{
    engine_.acknowledgeConnectionError();
    if (!quiet_ && handlers_.linkLost)
        handlers_.linkLost();
}

void HeadlessHost::searchFinished()
{
    if (!quiet_ && handlers_.searchFinished)
        handlers_.searchFinished();
}

}  // namespace korvane
