// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "OptionReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

using namespace korvane;

namespace {

using Arguments = std::vector<std::string>;

// Made-up options, one of each kind of value: what was read ("--int=-3 --flag=1") or "refused: <why>".
std::string transcript(const Arguments& arguments)
{
    std::string error;
    OptionReader reader(arguments, &error);
    std::ostringstream out;
    while (reader.next()) {
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
            ok = reader.fail("unknown option " + reader.argument());
        }
        if (!ok)
            return "refused: " + error;
        out << (out.tellp() > 0 ? " " : "") << name << "=" << read.str();
    }
    return out.str();
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
