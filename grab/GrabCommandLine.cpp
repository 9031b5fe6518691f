// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "GrabCommandLine.h"

#include "OptionReader.h"
#include "PlatformTexts.h"
#include "SerialPort.h"
#include "SharedOptions.h"
#include "Utf8Path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

namespace korvane {

namespace {

// A day: long enough for any sensible wait, short enough for the clocks.
constexpr int kLongestSeconds = 86400;
constexpr int kMostScreens = 1000000;

std::optional<ImageFormat> formatNamed(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "bmp")
        return ImageFormat::Bmp;
    if (name == "png")
        return ImageFormat::Png;
    return std::nullopt;
}

// What the options leave to be checked once all are read; false with the
// reason in `error`.
bool finish(GrabCommandLine& line, std::optional<ImageFormat> format, bool intervalGiven, std::string* error)
{
    const auto fail = [error](const std::string& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (line.help || line.version)
        return true;
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
        const std::string extension = utf8FromPath(pathFromUtf8(line.output).extension());
        const auto byName = extension.empty() ? ImageFormat::Bmp : formatNamed(extension.substr(1));
        if (!byName)
            return fail("cannot tell the image format from " + line.output + ": add --format bmp or --format png");
        line.format = *byName;
    }
    return true;
}

}  // namespace

bool GrabCommandLine::parse(const std::vector<std::string>& arguments, GrabCommandLine& result, std::string* error)
{
    GrabCommandLine line;
    std::optional<ImageFormat> format;
    bool intervalGiven = false;
    const auto own = [&](OptionReader& reader) -> std::optional<bool> {
        const std::string& name = reader.name();
        if (name == "--output" || name == "-o")
            return reader.text(line.output);
        if (name == "--format") {
            const auto v = reader.value();
            format = v ? formatNamed(*v) : std::nullopt;
            return format || reader.fail("option --format needs bmp or png");
        }
        if (name == "--count") {
            line.series = true;
            return reader.integer(line.count, 1, kMostScreens);
        }
        if (name == "--interval") {
            intervalGiven = true;
            return reader.seconds(line.intervalSeconds, true, kLongestSeconds);
        }
        if (name == "--timeout")
            return reader.seconds(line.timeoutSeconds, false, kLongestSeconds);
        return std::nullopt;
    };
    const SharedOptions shared(line.help, line.version, line.port, line.baudRate, line.monochrome,
                               SerialPort::isBaudRate);
    if (!shared.read(arguments, error, own, " (the image file goes after -o)")
        || !finish(line, format, intervalGiven, error))
        return false;
    result = std::move(line);
    return true;
}

std::string GrabCommandLine::usage()
{
    return std::string("Usage: korvane-grab [options] -o FILE\n"
                       "Takes the ZLS740's screen once (or --count times) and writes it as an image:\n"
                       "the 16-colour BMP that korvane's Save/Print writes as Temp.bmp, or PNG.\n"
                       "\n"
                       "  -o, --output FILE   the image file, replaced only once the new one is whole;\n"
                       "                      - writes to standard output\n"
                       "  --format bmp|png    the image format (default: from FILE's extension,\n"
                       "                      bmp when it has none or FILE is -)\n"
                       "  --mono              the monochrome palette instead of the colour one\n")
        + PlatformTexts::portOption()
        + "  --baud N            set the port to N bits per second first (default: keep\n"
          "                      the port's own rate; USB modem-class ports ignore it)\n"
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
