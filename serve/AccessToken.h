// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The secret a viewer off this machine must show: 128 random bits as 32
// lower-case hexadecimal digits, made anew at every start.
class AccessToken {
public:
    // From the system's random source; empty if it cannot be read.
    static std::string make();
    // Compares in a time that does not depend on where the two first differ.
    static bool matches(std::string_view expected, std::string_view given);
};

}  // namespace korvane
