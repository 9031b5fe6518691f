// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "ScreenGrabber.h"

#include "PortNames.h"
#include "SerialPort.h"
#include "SnapshotWriter.h"

#include <cerrno>
#include <sstream>

#include <unistd.h>

namespace korvane {

namespace {

// Serial devices belong to a group (dialout on Debian); a user outside it is
// refused, which says nothing about the instrument itself.
constexpr const char* kPermissionHint =
    " (serial devices may be opened only by members of the group that owns them, usually dialout)";

EngineConfig withoutLinkLog(EngineConfig config)
{
    // log.txt is the viewer's: a capture taken beside it must not empty it.
    config.linkLog = false;
    return config;
}

}  // namespace

ScreenGrabber::ScreenGrabber(EngineConfig config, bool monochrome)
    : engine_(*this, withoutLinkLog(std::move(config)))
{
    engine_.initEngine();
    engine_.setColorMode(monochrome ? 0 : 1);
    // The reader thread starts idle and asks for a screen only in capture().
    engine_.setPaused(1);
}

ScreenGrabber::~ScreenGrabber()
{
    // Ends the reader thread while the state it reports into still exists.
    engine_.shutdown();
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

std::string ScreenGrabber::openFailure() const
{
    const std::string device = portDevice();
    if (device.empty())
        return "no device of that name";
    // The engine keeps its reason to itself: a second try tells it.
    SerialPort port;
    switch (port.open(device)) {
    case PortResult::Busy:
        return "another program holds it";
    case PortResult::NotSupported:
        return "not a serial port";
    case PortResult::OsFailure:
        if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
            return port.errorText() + kPermissionHint;
        return port.errorText();
    default:
        return "it could not be opened";
    }
}

std::vector<std::string> ScreenGrabber::deniedPorts() const
{
    std::vector<std::string> denied;
    for (int n = 9; n >= 2; --n) {
        const std::string name = "COM" + std::to_string(n);
        const std::string device = PortNames::resolve(engine_.workDir(), name);
        if (!device.empty() && ::access(device.c_str(), F_OK) == 0 && ::access(device.c_str(), R_OK | W_OK) != 0
            && errno == EACCES)
            denied.push_back(name + " (" + device + ")");
    }
    return denied;
}

std::string ScreenGrabber::portDevice() const
{
    const std::string& name = engine_.portName();
    const std::string device = PortNames::resolve(engine_.workDir(), name);
    // A path names its device also while there is none.
    if (device.empty() && name.find('/') != std::string::npos)
        return name;
    return device;
}

std::string ScreenGrabber::portDescription() const
{
    const std::string& name = engine_.portName();
    const std::string device = portDevice();
    if (device.empty() || device == name)
        return name;
    return name + " (" + device + ")";
}

std::uint64_t ScreenGrabber::screenNumber() const
{
    std::uint64_t number = 0;
    engine_.screen().read([&](const ScreenView& view) { number = view.screenNumber; });
    return number;
}

ScreenGrabber::Capture ScreenGrabber::capture(std::chrono::milliseconds timeout, std::string& snapshot)
{
    const std::uint64_t before = screenNumber();
    std::unique_lock lock(lock_);
    if (linkLost_)
        return Capture::LinkLost;
    engine_.setPaused(0);
    changed_.wait_for(lock, timeout, [&] { return linkLost_ || screenNumber() > before; });
    // After a time-out the reader may still wait for its answer; it must not
    // ask again.
    engine_.setPaused(1);
    std::ostringstream out;
    bool taken = false;
    engine_.screen().read([&](const ScreenView& view) {
        if (view.screenNumber > before) {
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

void ScreenGrabber::requestRepaint()
{
    // Called on the reader thread right after each decoded screen, before it
    // would send the next request: pausing here makes one request a capture.
    engine_.setPaused(1);
    {
        // Taken and dropped so that a capture() between its check and its
        // wait cannot miss this screen.
        std::lock_guard lock(lock_);
    }
    changed_.notify_all();
}

void ScreenGrabber::showConnectionError()
{
    {
        std::lock_guard lock(lock_);
        linkLost_ = true;
    }
    changed_.notify_all();
    // Nobody is there to close a box: the reader may close the port at once.
    engine_.acknowledgeConnectionError();
}

}  // namespace korvane
