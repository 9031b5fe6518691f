// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "SharedOptions.h"

#include <gtest/gtest.h>

using namespace korvane;

namespace {

using Arguments = std::vector<std::string>;

// The only rate this made-up system can set.
bool isRate(int rate)
{
    return rate == 9600;
}

// A made-up program with one option of its own, --own: the fields the
// shared options set ("help version port=COM5 baud=9600 mono") or
// "refused: <why>". `onInstrument`: all shared options and words refused
// with a hint, else --help only and words refused as unknown options.
std::string transcript(const Arguments& arguments, bool onInstrument)
{
    bool help = false, version = false, monochrome = false, own = false;
    std::string port;
    int baudRate = 0;
    const auto readOwn = [&own](OptionReader& reader) -> std::optional<bool> {
        if (reader.name() == "--own")
            return reader.flag(own);
        return std::nullopt;
    };
    std::string error;
    const bool read = onInstrument
        ? SharedOptions(help, version, port, baudRate, monochrome, isRate).read(arguments, &error, readOwn, " (hint)")
        : SharedOptions(help).read(arguments, &error, readOwn, std::nullopt);
    if (!read)
        return "refused: " + error;
    std::string fields = std::string(help ? " help" : "") + (version ? " version" : "")
        + (port.empty() ? "" : " port=" + port) + (baudRate ? " baud=" + std::to_string(baudRate) : "")
        + (monochrome ? " mono" : "") + (own ? " own" : "");
    return fields.empty() ? "" : fields.substr(1);
}

}  // namespace

TEST(SharedOptions, ReadsTheSharedOptionsAndRefusesTheRestAlike)
{
    const struct {
        Arguments arguments;
        bool onInstrument;
        std::string expected;
    } rows[] = {
        {{"-h", "--version", "--port", "COM5", "--baud=9600", "--mono", "--own"},
         true,
         "help version port=COM5 baud=9600 mono own"},
        {{"--port=/dev/ttyUSB0", "--help"}, true, "help port=/dev/ttyUSB0"},
        {{"--mono=yes"}, true, "refused: option --mono takes no value"},
        {{"--port"}, true, "refused: option --port needs a value"},
        {{"--baud", "0"}, true, "refused: option --baud needs a whole number of at least 1"},
        {{"--baud", "12345"},
         true,
         "refused: option --baud needs a rate the system can set, such as 9600, 115200, 921600 or 1000000"},
        {{"--port", "COM1", "-x"}, true, "refused: unknown option -x"},
        {{"--frobnicate=1"}, true, "refused: unknown option --frobnicate=1"},
        {{"COM5"}, true, "refused: unexpected argument COM5 (hint)"},
        {{"-"}, true, "refused: unexpected argument - (hint)"},
        // A program that only takes --help knows none of the others.
        {{"--help", "--own"}, false, "help own"},
        {{"--version"}, false, "refused: unknown option --version"},
        {{"--port", "COM5"}, false, "refused: unknown option --port"},
        {{"COM5"}, false, "refused: unknown option COM5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        EXPECT_EQ(transcript(row.arguments, row.onInstrument), row.expected);
    }
}
