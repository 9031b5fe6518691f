// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <string>

namespace korvane {

// The far or near end of a connection, as korvane-serve names it.
class PeerAddress {
public:
    // "192.0.2.7:51234", "[2001:db8::7]:51234": for event lines and addresses.
    static std::string text(const boost::asio::ip::tcp::endpoint& endpoint);
    // What the per-address cap counts by: the IPv4 address, or the /64
    // network of an IPv6 one, since one machine commonly holds a whole /64.
    static std::string capKey(const boost::asio::ip::address& address);
};

}  // namespace korvane
