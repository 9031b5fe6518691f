// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// A screen as the page receives it over the WebSocket, one binary message:
//   byte 0       'S'
//   bytes 1-4    width and height, 16-bit little-endian (320, 240)
//   bytes 5-52   the 16 palette colours as red, green, blue
//   bytes 53-    zlib stream of the 4-bit palette indices, the top row first,
//                the left pixel of each pair in the high nibble: the screen
//                as korvane shows it
// The moving trace of a screen leaves most of it background, so the indices
// pack to a few kilobytes instead of 38,400 bytes.
class ScreenMessage {
public:
    static constexpr std::size_t kPreambleBytes = 53;

    // From a snapshot file (38518 bytes, as korvane's Save/Print writes it);
    // empty for anything else.
    static std::string encode(std::string_view snapshot);
};

}  // namespace korvane
