// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <termios.h>

namespace korvane {

// Raw binary mode for the instrument's link: 8 data bits; no echo, no line
// editing, no signals, no character translation on input or output; no
// software flow control (XON and XOFF bytes are picture data). Baud rate,
// parity, stop bits and hardware flow control are left as they are, which is
// why cfmakeraw (it also clears parity) is not used. Reads return what has
// arrived at once; the time limits are kept with poll deadlines instead.
void applyRawMode(termios& settings);

}  // namespace korvane
