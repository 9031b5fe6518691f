// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#include "SeriesNames.h"
#include "CommonTestSupport.h"

#include <gtest/gtest.h>

using namespace korvane;
using namespace korvane::test;

namespace {

std::time_t localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    return std::mktime(&when);
}

}  // namespace

TEST(SeriesNames, DateAndTimeGoBeforeTheExtension)
{
    const std::time_t when = localTime(2024, 4, 8, 9, 5, 3);
    const std::pair<std::string, std::string> rows[] = {
        {"shot.png", "shot-20240408-090503.png"},
        {"shot", "shot-20240408-090503"},
        {"out/day.one.bmp", "out/day.one-20240408-090503.bmp"},
        {"/tmp/x/shot.BMP", "/tmp/x/shot-20240408-090503.BMP"},
    };
    for (const auto& [given, expected] : rows)
        EXPECT_EQ(SeriesNames(given).next(when), expected);
}

TEST(SeriesNames, NeverGivesOutANameTwiceNorOneOnDisk)
{
    ScratchDir dir;
    const std::time_t first = localTime(2024, 12, 31, 23, 59, 59);
    const std::time_t next = first + 1;
    SeriesNames names(dir.file("shot.png"));
    EXPECT_EQ(names.next(first), dir.file("shot-20241231-235959.png"));
    EXPECT_EQ(names.next(first), dir.file("shot-20241231-235959-2.png"));
    EXPECT_EQ(names.next(first), dir.file("shot-20241231-235959-3.png"));
    EXPECT_EQ(names.next(next), dir.file("shot-20250101-000000.png")) << "a new second starts without a number";

    // Files of an earlier run in the same second are not replaced.
    writeFile(dir.file("shot-20250101-000001.png"), "earlier");
    writeFile(dir.file("shot-20250101-000001-2.png"), "earlier");
    EXPECT_EQ(names.next(next + 1), dir.file("shot-20250101-000001-3.png"));
}
