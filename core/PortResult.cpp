// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "PortResult.h"

namespace korvane {

const char* describe(PortResult result)
{
    switch (result) {
    case PortResult::Ok: return "ok";
    case PortResult::BadArgument: return "bad argument";
    case PortResult::OsFailure: return "refused by the system";
    case PortResult::NotSupported: return "not a serial port";
    case PortResult::TimedOut: return "timed out";
    case PortResult::Interrupted: return "interrupted";
    case PortResult::Busy: return "in use by another program";
    case PortResult::Denied: return "permission denied";
    }
    return "unknown";
}

}  // namespace korvane
