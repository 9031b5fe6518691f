// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace korvane {

// Starts other programs without a shell and without waiting for them. The
// platform's implementation lives in a file of its own beside this one.
class ProcessLauncher {
public:
    // Runs `program` with no arguments in `workingDir`. Returns false when it
    // could not be started (missing, not executable, no such directory). The
    // program runs on its own: it is never waited for and leaves no zombie.
    static bool startDetached(const std::string& program, const std::string& workingDir);

    // True when `path` names a regular file this user may execute.
    static bool isExecutable(const std::string& path);

    // The file name of the program called `name` on this system: "Pictorix"
    // is Pictorix.exe on Windows.
    static std::string programFileName(const std::string& name);
};

}  // namespace korvane
