// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "SharedOptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

using namespace korvane;

namespace {

using Arguments = std::vector<std::string>;

// The only rate this made-up system can set.
bool isRate(int rate)
{
    return rate == 9600;
}

// A made-up program with an option of each kind of value of its own and the
// shared options (`onInstrument`: all of them, and a word refused with a
// hint; else --help only, and a word refused as an unknown option): what was
// read in turn ("--int=-3 --flag=1"), then the shared options set ("help
// port=COM5"), or "refused: <why>".
std::string transcript(const Arguments& arguments, bool onInstrument = true)
{
    std::ostringstream out;
    const auto own = [&out](OptionReader& reader) -> std::optional<bool> {
        const std::string& name = reader.name();
        bool ok = true;
        std::ostringstream read;
        if (name == "--flag") {
            bool flag = false;
            ok = reader.flag(flag);
            read << flag;
        } else if (name == "--text" || name == "-t") {
            std::string text;
            ok = reader.text(text);
            read << text;
        } else if (name == "--int") {
            int number = 0;
            ok = reader.integer(number, -5);
            read << number;
        } else if (name == "--size") {
            std::size_t number = 0;
            ok = reader.integer(number, 0);
            read << number;
        } else if (name == "--range") {
            std::uint8_t number = 0;
            ok = reader.integer(number, 1, 10);
            read << int(number);
        } else if (name == "--wait" || name == "--timeout") {
            double seconds = -1;
            ok = reader.seconds(seconds, name == "--wait", 60);  // only a wait may be 0
            read << seconds;
        } else if (name == "--decimal") {
            const auto number = reader.decimal();
            ok = number.has_value() || reader.fail("no decimal");
            read << number.value_or(0);
        } else {
            return std::nullopt;
        }
        out << name << "=" << read.str() << " ";
        return ok;
    };
    bool help = false, version = false, monochrome = false;
    std::string port;
    int baudRate = 0;
    std::string error;
    if (onInstrument
            ? !SharedOptions(help, version, port, baudRate, monochrome, isRate).read(arguments, &error, own, " (hint)")
            : !SharedOptions(help).read(arguments, &error, own, std::nullopt))
        return "refused: " + error;
    out << (help ? "help " : "") << (version ? "version " : "") << (port.empty() ? "" : "port=" + port + " ")
        << (baudRate ? "baud=" + std::to_string(baudRate) + " " : "") << (monochrome ? "mono " : "");
    const std::string text = out.str();
    return text.substr(0, text.size() - !text.empty());
}

}  // namespace

TEST(OptionReader, TakesValuesAfterTheEqualsSignOrAsTheNextArgument)
{
    const std::pair<Arguments, std::string> rows[] = {
        {{}, ""},
        {{"--flag"}, "--flag=1"},
        {{"--text", "a b", "--flag"}, "--text=a b --flag=1"},
        {{"-t", "file"}, "-t=file"},
        // The next argument is the value even when it looks like an option.
        {{"--text", "--flag"}, "--text=--flag"},
        {{"--int", "-5", "--int=7"}, "--int=-5 --int=7"},
        {{"--range", "1", "--range=10"}, "--range=1 --range=10"},
        {{"--wait", "0", "--wait=60", "--wait", "0.25"}, "--wait=0 --wait=60 --wait=0.25"},
        {{"--decimal", "1e3", "--decimal=-2.5"}, "--decimal=1000 --decimal=-2.5"},
    };
    for (const auto& [arguments, expected] : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        EXPECT_EQ(transcript(arguments), expected);
    }
}

TEST(OptionReader, RefusesWithAReasonThatNamesTheOption)
{
    const std::pair<Arguments, std::string> rows[] = {
        {{"--flag=yes"}, "option --flag takes no value"},
        {{"--text"}, "option --text needs a value"},
        // Only long options are split at '='.
        {{"-t=file"}, "unknown option -t=file"},
        {{"--int", "-6"}, "option --int needs a whole number of at least -5"},
        {{"--int", "4x"}, "option --int needs a whole number of at least -5"},
        {{"--size", "-1"}, "option --size needs a whole number of at least 0"},
        {{"--range", "256"}, "option --range needs a whole number from 1 to 10"},
        {{"--wait", "1s"}, "option --wait needs a number of seconds, 0 to 60"},
        {{"--wait", "nan"}, "option --wait needs a number of seconds, 0 to 60"},
        {{"--timeout", "0"}, "option --timeout needs a number of seconds, more than 0 to 60"},
        {{"--decimal", "inf"}, "no decimal"},
    };
    for (const auto& [arguments, expected] : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        EXPECT_EQ(transcript(arguments), "refused: " + expected);
    }

    // Without a place for the reason the reading still fails.
    const Arguments arguments{"--flag=1"};
    OptionReader reader(arguments, nullptr);
    bool flag = false;
    EXPECT_TRUE(reader.next() && !reader.flag(flag) && !flag);
}

TEST(SharedOptions, ReadsTheSharedOptionsAndRefusesTheRestAlike)
{
    const struct {
        Arguments arguments;
        bool onInstrument;
        std::string expected;
    } rows[] = {
        {{"-h", "--version", "--port", "COM5", "--baud=9600", "--mono", "--flag"},
         true,
         "--flag=1 help version port=COM5 baud=9600 mono"},
        {{"--port=/dev/ttyUSB0", "--help"}, true, "help port=/dev/ttyUSB0"},
        {{"--baud", "0"}, true, "refused: option --baud needs a whole number of at least 1"},
        {{"--baud", "12345"},
         true,
         "refused: option --baud needs a rate the system can set, such as 9600, 115200, 921600 or 1000000"},
        {{"--port", "COM1", "-x"}, true, "refused: unknown option -x"},
        {{"--frobnicate=1"}, true, "refused: unknown option --frobnicate=1"},
        {{"COM5"}, true, "refused: unexpected argument COM5 (hint)"},
        {{"-"}, true, "refused: unexpected argument - (hint)"},
        // A program that only takes --help knows none of the others.
        {{"--help", "--flag"}, false, "--flag=1 help"},
        {{"--version"}, false, "refused: unknown option --version"},
        {{"--port", "COM5"}, false, "refused: unknown option --port"},
        {{"COM5"}, false, "refused: unknown option COM5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        EXPECT_EQ(transcript(row.arguments, row.onInstrument), row.expected);
    }
}
