// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace korvane {

// Outcome of a port operation. Output values of a failed call are cleared.
enum class PortResult {
    Ok,
    BadArgument,   // not open, or an argument out of range
    OsFailure,     // the system refused; errorText() of the port says why
    NotSupported,  // the device is not a serial port
    TimedOut,      // the time limit passed with nothing (more) to transfer
    Interrupted,   // interrupt() was called from another thread
    Busy,          // another program holds the port exclusively
    Denied,        // this user may not open it; errorText() has the system's words
};

const char* describe(PortResult result);

}  // namespace korvane
