// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "GrabCommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace korvane {

namespace {

// A day: long enough for any sensible wait, short enough for the clocks.
constexpr double kLongestSeconds = 86400;
constexpr int kMostScreens = 1000000;

bool parseSeconds(const std::string& text, bool zeroAllowed, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed) || parsed > kLongestSeconds
        || parsed < 0 || (parsed == 0 && !zeroAllowed))
        return false;
    value = parsed;
    return true;
}

bool parseCount(const std::string& text, int& value)
{
    int parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < 1 || parsed > kMostScreens)
        return false;
    value = parsed;
    return true;
}

std::optional<ImageFormat> formatNamed(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "bmp")
        return ImageFormat::Bmp;
    if (name == "png")
        return ImageFormat::Png;
    return std::nullopt;
}

}  // namespace

bool GrabCommandLine::parse(const std::vector<std::string>& arguments, GrabCommandLine& result, std::string* error)
{
    GrabCommandLine line;
    std::optional<ImageFormat> format;
    bool intervalGiven = false;
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue)
                return fail("option " + name + " takes no value");
            target = true;
            return true;
        };
        auto text = [&](std::string& target) {
            const auto v = value();
            if (!v || v->empty())
                return fail("option " + name + " needs a value");
            target = *v;
            return true;
        };
        auto seconds = [&](double& target, bool zeroAllowed) {
            const auto v = value();
            if (!v || !parseSeconds(*v, zeroAllowed, target))
                return fail("option " + name + " needs a number of seconds, "
                            + (zeroAllowed ? "0" : "more than 0") + " to 86400");
            return true;
        };

        bool ok = true;
        if (name == "--help" || name == "-h")
            ok = flag(line.help);
        else if (name == "--version")
            ok = flag(line.version);
        else if (name == "--output" || name == "-o")
            ok = text(line.output);
        else if (name == "--port")
            ok = text(line.port);
        else if (name == "--mono")
            ok = flag(line.monochrome);
        else if (name == "--format") {
            const auto v = value();
            format = v ? formatNamed(*v) : std::nullopt;
            if (!format)
                return fail("option --format needs bmp or png");
        } else if (name == "--count") {
            const auto v = value();
            if (!v || !parseCount(*v, line.count))
                return fail("option --count needs a whole number from 1 to " + std::to_string(kMostScreens));
            line.series = true;
        } else if (name == "--interval") {
            ok = seconds(line.intervalSeconds, true);
            intervalGiven = true;
        } else if (name == "--timeout")
            ok = seconds(line.timeoutSeconds, false);
        else if (name.size() > 1 && name[0] == '-')
            return fail("unknown option " + arguments[i]);
        else
            return fail("unexpected argument " + arguments[i] + " (the image file goes after -o)");
        if (!ok)
            return false;
    }

    if (!line.help && !line.version) {
        if (line.output.empty())
            return fail("no image file given: -o FILE, or -o - for standard output");
        if (intervalGiven && !line.series)
            return fail("option --interval needs --count");
        const bool toStandardOutput = line.output == "-";
        if (toStandardOutput && line.count > 1)
            return fail("a series of screens needs a file name to derive its names from, not -o -");
        if (format) {
            line.format = *format;
        } else if (!toStandardOutput) {
            const std::string extension = std::filesystem::path(line.output).extension().string();
            const auto byName = extension.empty() ? ImageFormat::Bmp : formatNamed(extension.substr(1));
            if (!byName)
                return fail("cannot tell the image format from " + line.output + ": add --format bmp or --format png");
            line.format = *byName;
        }
    }
    result = std::move(line);
    return true;
}

std::string GrabCommandLine::usage()
{
    return "Usage: korvane-grab [options] -o FILE\n"
           "Takes the ZLS740's screen once (or --count times) and writes it as an image:\n"
           "the 16-colour BMP that korvane's Save/Print writes as Temp.bmp, or PNG.\n"
           "\n"
           "  -o, --output FILE   the image file, replaced only once the new one is whole;\n"
           "                      - writes to standard output\n"
           "  --format bmp|png    the image format (default: from FILE's extension,\n"
           "                      bmp when it has none or FILE is -)\n"
           "  --mono              the monochrome palette instead of the colour one\n"
           "  --port NAME         the instrument's port: COM2..COM9 (an entry of that name\n"
           "                      in the current folder first, as korvane looks them up)\n"
           "                      or a device such as /dev/ttyUSB0; default: search COM9\n"
           "                      down to COM2 like korvane's Connect\n"
           "  --count N           take N screens, written under names with the date and\n"
           "                      time: shot.png -> shot-YYYYMMDD-hhmmss.png (-2, -3 ...\n"
           "                      for more in the same second)\n"
           "  --interval S        seconds from one capture's start to the next's\n"
           "                      (default 1; needs --count)\n"
           "  --timeout S         longest wait for each screen, in seconds (default 10)\n"
           "  --help              show this text\n"
           "  --version           show the version\n"
           "\n"
           "header2.bin is taken from the current folder, else from beside the program,\n"
           "as korvane does; korvane's log.txt is left alone.\n"
           "\n"
           "Exit codes:\n"
           "  0  every screen was written\n"
           "  1  no instrument: no port answered, the port cannot be opened, or no whole\n"
           "     screen came within the time-out\n"
           "  2  the command line cannot be used\n"
           "  3  the link was lost: the instrument went away\n"
           "  4  an image could not be written (an older file of that name stays as it was)\n";
}

}  // namespace korvane
