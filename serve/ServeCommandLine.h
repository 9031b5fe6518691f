// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "ConnectionBook.h"

#include <string>
#include <vector>

namespace korvane {

// korvane-serve's command line.
struct ServeCommandLine {
    std::string port;  // COMn or a device; empty: search as Connect does
    std::string listenHost = "127.0.0.1";
    unsigned short listenPort = 8740;  // 0: any free port (the one taken is printed)
    bool monochrome = false;
    int baudRate = 0;             // 0 keeps the port's own rate
    bool once = false;            // end with code 3 when the link is lost
    ConnectionBook::Caps caps{};  // --max-connections, --max-viewers, --max-per-address
    bool help = false;
    bool version = false;

    // False, with a one-line reason in `error`, for a line that cannot be used.
    static bool parse(const std::vector<std::string>& arguments, ServeCommandLine& result, std::string* error);
    static std::string usage();
};

}  // namespace korvane
