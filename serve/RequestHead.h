// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "RequestRouter.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace korvane {

// The head of a request as its bytes arrive, before Beast parses it: where
// it ends, and the limits and forms refused whatever Beast would make of
// them. Every byte counts, from the first of the request line to the empty
// line that ends the head.
class RequestHead {
public:
    // A head is at most this long, empty lines and all; longer gets 431.
    static constexpr std::size_t kLongestHead = 8 * 1024;
    // Field lines a head may hold; a browser sends about 15. More gets 431.
    static constexpr std::size_t kMostFields = 100;

    // The length of the head at the start of `received`, up to and
    // including the first empty line (CRLF or a bare LF, which Beast then
    // refuses); none while no empty line has come.
    static std::optional<std::size_t> length(std::string_view received);
    // True when `received` cannot be the start of a request: a byte that no
    // method has comes before the first space (TLS on the plain port, say).
    // Such a client is answered at once instead of when its time is up.
    static bool startsBadly(std::string_view received);

    // The refusal of a head longer than kLongestHead.
    static Route tooLong();
    // A refusal for a head too long, with too many fields, or with a folded
    // (continued) field line; none for a head Beast may parse.
    static std::optional<Route> refusal(std::string_view head);
};

}  // namespace korvane
