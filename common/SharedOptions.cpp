// Korvane - command-line options.
// SPDX-License-Identifier: MIT
#include "SharedOptions.h"

namespace korvane {

SharedOptions::SharedOptions(bool& help)
    : help_(&help)
{
}

SharedOptions::SharedOptions(bool& help, bool& version, std::string& port, int& baudRate, bool& monochrome,
                             bool (&isBaudRate)(int))
    : help_(&help)
    , version_(&version)
    , port_(&port)
    , baudRate_(&baudRate)
    , monochrome_(&monochrome)
    , isBaudRate_(&isBaudRate)
{
}

bool SharedOptions::read(const std::vector<std::string>& arguments, std::string* error, const OwnOptions& own,
                         const std::optional<std::string>& wordHint) const
{
    OptionReader reader(arguments, error);
    while (reader.next()) {
        std::optional<bool> read = readShared(reader);
        if (!read)
            read = own(reader);
        if (!read) {
            const std::string& name = reader.name();
            if (wordHint && (name.size() < 2 || name[0] != '-'))
                return reader.fail("unexpected argument " + reader.argument() + *wordHint);
            return reader.fail("unknown option " + reader.argument());
        }
        if (!*read)
            return false;
    }
    return true;
}

std::optional<bool> SharedOptions::readShared(OptionReader& reader) const
{
    const std::string& name = reader.name();
    if (name == "--help" || name == "-h")
        return reader.flag(*help_);
    if (!port_)
        return std::nullopt;
    if (name == "--version")
        return reader.flag(*version_);
    if (name == "--port")
        return reader.text(*port_);
    if (name == "--mono")
        return reader.flag(*monochrome_);
    if (name != "--baud")
        return std::nullopt;
    if (!reader.integer(*baudRate_, 1))
        return false;
    if (!isBaudRate_(*baudRate_))
        return reader.fail("option --baud needs a rate the system can set, such as 9600, 115200, 921600 or 1000000");
    return true;
}

}  // namespace korvane
