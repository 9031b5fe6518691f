// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace korvane {

class Engine;
enum class ExportResult;

// The engine's search, open and export results in words, for the programs
// that report them on a terminal (korvane-grab, korvane-serve) or in a box
// (the viewers).
class LinkReport {
public:
    // The port: "COM5 (/dev/ttyUSB0)", or the name alone when it is the
    // device or names none.
    static std::string port(const Engine& engine);
    // The device the port's name leads to; empty when it names none.
    static std::string device(const Engine& engine);
    // After a failed openLink(): why, in a few words ("another program holds
    // it", or the system's reason such as "Permission denied").
    static std::string openFailure(const Engine& engine);
    // After a search that found nothing: that no port answered, and the
    // ports refused to this user or passed over because they talk unasked.
    static std::string noInstrument(const Engine& engine);
    // After exportSnapshot(): what the user must be told, naming the snapshot
    // file; empty when the image tool started or there was no screen yet.
    static std::string exportFailure(ExportResult result, const Engine& engine);
};

}  // namespace korvane
