// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace korvane {

// Maps the instrument's port names COM2..COM9 to devices of this system.
class PortNames {
public:
    // "COMn" is `workDir`/COMn where such an entry exists (a link to any
    // serial device or pseudo-terminal), otherwise the platform's device for
    // COMn. A path (any name with a slash) is itself. Empty for a name that
    // maps to nothing.
    static std::string resolve(const std::string& workDir, const std::string& portName);

    // The platform's device for COMn when no link in the working directory
    // names it; empty when there is none.
    static std::string device(const std::string& portName);
};

}  // namespace korvane
