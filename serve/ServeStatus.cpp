// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ServeStatus.h"

#include <cstdio>

namespace korvane {

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

const char* boolean(bool value)
{
    return value ? "true" : "false";
}

}  // namespace

std::string ServeStatus::json() const
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", screensPerSecond);
    return std::string("{\"connected\":") + boolean(connected) + ",\"looking\":" + boolean(looking)
        + ",\"paused\":" + boolean(paused) + ",\"colour\":" + boolean(colour)
        + ",\"screens\":" + std::to_string(screens) + ",\"viewers\":" + std::to_string(viewers)
        + ",\"port\":" + quoted(port) + ",\"screensPerSecond\":" + rate + "}";
}

}  // namespace korvane
