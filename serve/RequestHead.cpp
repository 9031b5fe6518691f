// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "RequestHead.h"

#include <algorithm>
#include <cctype>

namespace korvane {

std::optional<std::size_t> RequestHead::length(std::string_view received)
{
    for (std::size_t at = received.find('\n'); at != std::string_view::npos; at = received.find('\n', at + 1)) {
        const std::string_view rest = received.substr(at + 1);
        if (rest.starts_with('\n'))
            return at + 2;
        if (rest.starts_with("\r\n"))
            return at + 3;
    }
    return std::nullopt;
}

bool RequestHead::startsBadly(std::string_view received)
{
    constexpr std::string_view kTokenMarks = "!#$%&'*+-.^_`|~";
    const std::string_view method = received.substr(0, received.find(' '));
    return !std::all_of(method.begin(), method.end(), [&](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || kTokenMarks.find(c) != std::string_view::npos;
    });
}

Route RequestHead::tooLong()
{
    return RequestRouter::refusal(431, "Request header fields too large: a request's head is at most 8 KiB");
}

std::optional<Route> RequestHead::refusal(std::string_view head)
{
    if (head.size() > kLongestHead)
        return tooLong();
    // The request line and the empty line end with a line feed too.
    const auto lines = std::size_t(std::count(head.begin(), head.end(), '\n'));
    if (lines > kMostFields + 2)
        return RequestRouter::refusal(431, "Request header fields too large: at most 100 fields");
    // A line that starts with white space continues the one before: one
    // reader may join them and another not, so none is taken.
    if (head.find("\n ") != std::string_view::npos || head.find("\n\t") != std::string_view::npos)
        return RequestRouter::refusal(400, "Bad request: folded header lines are not taken");
    return std::nullopt;
}

}  // namespace korvane
