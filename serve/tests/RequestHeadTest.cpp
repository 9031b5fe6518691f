// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "RequestHead.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(RequestHead, EndsAtTheFirstEmptyLineWhateverFollows)
{
    const std::string head = "GET / HTTP/1.1\r\nHost: a\r\n\r\n";
    EXPECT_EQ(RequestHead::length(head), head.size());
    EXPECT_EQ(RequestHead::length(head + "POST /pause HTTP/1.1\r\n\r\n"), head.size());
    EXPECT_EQ(RequestHead::length("GET / HTTP/1.1\n\nrest"), 16u);  // bare line feeds: Beast refuses them
    for (const char* unfinished : {"", "GET / HTTP/1.1\r\n", "GET / HTTP/1.1\r\nHost: a\r\n\r", "GET /\r\n\r"})
        EXPECT_FALSE(RequestHead::length(unfinished)) << unfinished;
}

TEST(RequestHead, SizeFieldsAndFoldingAreJudgedOnTheBytesAsSent)
{
    const std::string start = "GET / HTTP/1.1\r\nHost: a\r\n";
    const auto padded = [&](std::size_t size) {
        std::string head = start + "X: ";
        head.append(size - head.size() - 4, 'x');
        return head + "\r\n\r\n";
    };
    EXPECT_FALSE(RequestHead::refusal(padded(RequestHead::kLongestHead)));
    EXPECT_EQ(RequestHead::refusal(padded(RequestHead::kLongestHead + 1))->status, 431);
    // Empty fields count as much as any: 99 of them and Host make 100.
    std::string fields = start;
    for (int i = 0; i < 99; ++i)
        fields += "a:\r\n";
    EXPECT_FALSE(RequestHead::refusal(fields + "\r\n"));
    EXPECT_EQ(RequestHead::refusal(fields + "a:\r\n\r\n")->status, 431);
    EXPECT_EQ(RequestHead::refusal(start + "X: a\r\n b\r\n\r\n")->status, 400);
    EXPECT_EQ(RequestHead::refusal(start + "X: a\r\n\tb\r\n\r\n")->status, 400);
}

TEST(RequestHead, BytesNoMethodStartsWithAreKnownAtOnce)
{
    for (const char* fine : {"", "G", "GET", "GET ", "GET /x\x01", "M-SEARCH *"})
        EXPECT_FALSE(RequestHead::startsBadly(fine)) << fine;
    for (const char* bad : {"\x16\x03\x01", "\r\nGET", "GET\r\n", "{\"a\":1}", "GET/ HTTP/1.1"})
        EXPECT_TRUE(RequestHead::startsBadly(bad)) << bad;
}

}  // namespace
}  // namespace korvane
