// Korvane - what the programs tell their users on POSIX systems.
// SPDX-License-Identifier: MIT
#include "PlatformTexts.h"

namespace korvane {

const char* PlatformTexts::portOption()
{
    return "  --port NAME         the instrument's port: COM2..COM9 (an entry of that name\n"
           "                      in the current folder first, as korvane looks them up)\n"
           "                      or a device such as /dev/ttyUSB0; default: search COM9\n"
           "                      down to COM2 like korvane's Connect\n";
}

const char* PlatformTexts::noInstrumentCauses()
{
    return "(none attached, or another program holds its port)";
}

// Serial devices belong to a group (dialout on Debian); a user outside it is
// refused, which says nothing about the instrument itself.
const char* PlatformTexts::deniedHint()
{
    return " (serial devices may be opened only by members of the group that owns them, usually dialout)";
}

const char* PlatformTexts::deniedAdvice()
{
    return ": join the group that owns the device, usually dialout, and log in again";
}

// The system's "No such file or directory" says it all.
const char* PlatformTexts::missingPortHint()
{
    return "";
}

const char* PlatformTexts::serveStops()
{
    return "(Ctrl+C, SIGTERM)";
}

std::string PlatformTexts::portShown(const std::string& name, const std::string& device)
{
    if (device.empty() || device == name)
        return name;
    return name + " (" + device + ")";
}

}  // namespace korvane
