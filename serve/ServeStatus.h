// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// What the page shows beside the screen, and /status.json.
struct ServeStatus {
    bool connected = false;  // screens are coming (or would, but for Pause)
    bool looking = false;    // no link: looking for the instrument
    bool paused = false;
    bool colour = true;
    std::uint64_t screens = 0;  // screens received since the start
    unsigned viewers = 0;       // pages watching over the WebSocket
    std::string port;           // "COM5 (/dev/ttyUSB0)"; empty before a link
    double screensPerSecond = 0;

    std::string json() const;
};

}  // namespace korvane
