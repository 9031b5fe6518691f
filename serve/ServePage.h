// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace korvane {

// The page a browser gets at /: HTML, style and script in one piece, built
// into the program from page/index.html; it fetches nothing from elsewhere.
struct ServePage {
    static std::string_view html();
};

}  // namespace korvane
