// Korvane - screen acquisition engine: port names on POSIX systems.
// SPDX-License-Identifier: MIT
#include "PortNames.h"

#include <filesystem>
#include <system_error>

namespace korvane {

std::string PortNames::device(const std::string& portName)
{
    // The probe goes from COM9 down to COM2, so the devices an instrument in
    // USB mode most likely is (a CDC modem) come first, then USB serial adapters.
    static const char* const table[][2] = {
        {"COM9", "/dev/ttyACM0"}, {"COM8", "/dev/ttyACM1"}, {"COM7", "/dev/ttyACM2"}, {"COM6", "/dev/ttyACM3"},
        {"COM5", "/dev/ttyUSB0"}, {"COM4", "/dev/ttyUSB1"}, {"COM3", "/dev/ttyUSB2"}, {"COM2", "/dev/ttyUSB3"},
    };
    for (const auto& entry : table) {
        if (portName == entry[0])
            return entry[1];
    }
    return {};
}

bool PortNames::exists(const std::string& device)
{
    std::error_code error;
    return std::filesystem::exists(device, error);
}

std::string PortNames::resolve(const std::string& workDir, const std::string& portName)
{
    // A path names its device, also while there is none.
    if (portName.find('/') != std::string::npos)
        return portName;
    const std::filesystem::path link = std::filesystem::path(workDir) / portName;
    std::error_code error;
    // A dangling link still counts: the instrument behind it is gone, and the
    // open that follows says so, instead of silently opening another device.
    if (std::filesystem::symlink_status(link, error).type() != std::filesystem::file_type::not_found && !error)
        return link.string();
    return device(portName);
}

}  // namespace korvane
