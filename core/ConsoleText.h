// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>

namespace korvane {

// Standard output and error for the text a person reads (help, reports,
// event lines), UTF-8 as the programs hold it. Where one of them is a
// Windows console, the text is written to it as wide characters, which it
// shows in any language; through the console's code page UTF-8 bytes
// would come out garbled. Files and pipes get the UTF-8 bytes. Each stream
// belongs to one thread at a time; what it holds is written at each flush.
class ConsoleText {
public:
    static std::ostream& out();
    static std::ostream& err();
};

}  // namespace korvane
