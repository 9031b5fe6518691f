// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "ConnectionSlot.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using Verdict = ConnectionBook::Verdict;

TEST(ConnectionBook, OneAddressTakesItsShareAndNoMore)
{
    ConnectionBook book({.connections = 5, .viewers = 5, .perAddress = 2});
    EXPECT_EQ(book.admit("192.0.2.7"), Verdict::Admitted);
    EXPECT_EQ(book.admit("192.0.2.7"), Verdict::Admitted);
    EXPECT_EQ(book.admit("192.0.2.7"), Verdict::AddressFull);
    EXPECT_EQ(book.admit("192.0.2.8"), Verdict::Admitted);
    book.release("192.0.2.7", false);
    EXPECT_EQ(book.admit("192.0.2.7"), Verdict::Admitted);
    EXPECT_EQ(book.connections(), 3u) << "a refusal is not counted";
}

TEST(ConnectionBook, TheServerCapHoldsAcrossAddressesAndFreesWithEachEnd)
{
    ConnectionBook book({.connections = 3, .viewers = 3, .perAddress = 3});
    for (const char* address : {"a", "b", "c"})
        ASSERT_EQ(book.admit(address), Verdict::Admitted);
    EXPECT_EQ(book.admit("d"), Verdict::ServerFull);
    book.release("b", false);
    EXPECT_EQ(book.admit("d"), Verdict::Admitted);
    book.release("nobody", false);  // not in the book: changes nothing
    EXPECT_EQ(book.connections(), 3u);
    EXPECT_NE(book.reason(Verdict::ServerFull).find("3 connections"), std::string::npos);
}

TEST(ConnectionBook, SlotsCountViewersAndGiveBackWhenTheyGoOrMove)
{
    auto book = std::make_shared<ConnectionBook>(ConnectionBook::Caps{.connections = 9, .viewers = 1, .perAddress = 9});
    ASSERT_EQ(book->admit("a"), Verdict::Admitted);
    ASSERT_EQ(book->admit("a"), Verdict::Admitted);
    {
        ConnectionSlot first(book, "a");
        ConnectionSlot second(book, "a");
        EXPECT_EQ(first.becomeViewer(), Verdict::Admitted);
        EXPECT_EQ(first.becomeViewer(), Verdict::Admitted) << "asked twice, counted once";
        EXPECT_EQ(second.becomeViewer(), Verdict::ViewersFull);
        ConnectionSlot moved = std::move(first);  // from the HTTP session to the viewer
        EXPECT_EQ(book->viewers(), 1u);
        EXPECT_EQ(book->connections(), 2u);
    }
    EXPECT_EQ(book->viewers(), 0u);
    EXPECT_EQ(book->connections(), 0u);
}

}  // namespace
}  // namespace korvane
