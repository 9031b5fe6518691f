// Korvane - link throughput: the engine against a bare request/read loop.
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

namespace korvane::bench {

// One loop's figures: screens a second, and this process's processor time a
// screen (what a loaded machine disturbs far less than the rate).
struct Figures {
    double screensPerSecond = -1;
    double processorMicrosPerScreen = 0;
};

// Processor time of this process so far, in seconds.
double processorSeconds();

// One request and the read of its answer.
enum class Exchange { Screen, NoScreen, Broken };

// Runs `exchange` again and again for `seconds` (or until it is Broken);
// the rate of whole screens and the processor time each took.
Figures timeExchanges(double seconds, const std::function<Exchange()>& exchange);

// The bare loop on the system's own calls, request and whole screen in
// turn, for `seconds`; a negative rate when the port cannot be used. One
// file per system beside this one.
Figures bareLoop(const std::string& port, double seconds, int baud);

}  // namespace korvane::bench
