// Korvane - what the programs tell their users.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace korvane {

// The words of korvane-grab's and korvane-serve's help and reports that
// differ from one system to another: how the instrument's port is named and
// found, what to check when none can be had, and how a server is ended. One
// table per system, in a file of its own beside this one.
class PlatformTexts {
public:
    // The help's lines for --port NAME, each ending with a line end.
    static const char* portOption();
    // After "no instrument answers on COM9 to COM2": what else may be wrong,
    // in parentheses.
    static const char* noInstrumentCauses();
    // After the system's reason a port was refused to this user.
    static const char* deniedHint();
    // After the ports a search found refused to this user.
    static const char* deniedAdvice();
    // After the system's reason a port that is not there failed to open.
    static const char* missingPortHint();
    // What ends korvane-serve, in parentheses.
    static const char* serveStops();
    // A port as the user is shown it: the name, and the device it leads to
    // where that tells the user more ("COM5 (/dev/ttyUSB0)"); `device` is
    // empty when the name leads to none.
    static std::string portShown(const std::string& name, const std::string& device);
};

}  // namespace korvane
