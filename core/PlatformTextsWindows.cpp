// Korvane - what the programs tell their users on Windows.
// SPDX-License-Identifier: MIT
#include "PlatformTexts.h"

#include <algorithm>
#include <cctype>

namespace korvane {

// Device Manager lists the serial ports with their names under "Ports (COM &
// LPT)"; a USB instrument gets whichever number Windows gives it, often
// COM10 or above, where the search does not look.
const char* PlatformTexts::portOption()
{
    return "  --port NAME         the instrument's port as Device Manager names it under\n"
           "                      Ports (COM & LPT), such as COM3 or COM12 (also written\n"
           "                      \\\\.\\COM12); default: search COM9 down to COM2 like\n"
           "                      korvane's Connect\n";
}

const char* PlatformTexts::noInstrumentCauses()
{
    return "(none attached, another program holds its port, or its port is another one: Device Manager shows "
           "it under Ports (COM & LPT); give it with --port)";
}

// Windows refuses a serial port to anyone while another program holds it
// (a terminal, another viewer); the port itself belongs to every user.
const char* PlatformTexts::deniedHint()
{
    return " (Windows refuses a port that another program holds: close that program)";
}

const char* PlatformTexts::deniedAdvice()
{
    return ": close the program that holds it, or give the instrument's port as Device Manager lists it "
           "under Ports (COM & LPT) with --port";
}

const char* PlatformTexts::missingPortHint()
{
    return " (no such port now: Device Manager shows the ports under Ports (COM & LPT))";
}

const char* PlatformTexts::serveStops()
{
    return "(Ctrl+C, Ctrl+Break, its console window closed)";
}

// \\.\COM5 is only the system's own spelling of COM5: nothing to add.
std::string PlatformTexts::portShown(const std::string& name, const std::string& device)
{
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return text;
    };
    if (device.empty() || lower(device) == lower(name) || lower(device) == lower("\\\\.\\" + name))
        return name;
    return name + " (" + device + ")";
}

}  // namespace korvane
