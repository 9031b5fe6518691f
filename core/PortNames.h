// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace korvane {

// Maps the instrument's port names COM2..COM9 to devices of this system.
// The platform's implementation lives in a file of its own beside this one.
class PortNames {
public:
    // "COMn" is `workDir`/COMn where such an entry exists (a link to any
    // serial device or pseudo-terminal; POSIX systems only: no file can have
    // that name on Windows), otherwise the platform's device for COMn. A path
    // (any name with a slash, or a backslash on Windows) is itself. Empty for
    // a name that maps to nothing.
    static std::string resolve(const std::string& workDir, const std::string& portName);

    // The platform's device for COMn when no link in the working directory
    // names it: COM2..COM9 have one each; on Windows, so has any other port
    // the system lists. Empty when there is none.
    static std::string device(const std::string& portName);

    // Whether the system has something of that name (a port may exist and
    // still not open: another program holds it).
    static bool exists(const std::string& device);
};

}  // namespace korvane
