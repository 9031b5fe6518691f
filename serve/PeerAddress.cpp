// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "PeerAddress.h"

namespace korvane {

std::string PeerAddress::text(const boost::asio::ip::tcp::endpoint& endpoint)
{
    const std::string address = endpoint.address().to_string();
    const std::string host = endpoint.address().is_v6() ? "[" + address + "]" : address;
    return host + ":" + std::to_string(endpoint.port());
}

std::string PeerAddress::capKey(const boost::asio::ip::address& address)
{
    if (!address.is_v6())
        return address.to_string();
    const auto v6 = address.to_v6();
    // A dual-stack listener sees IPv4 clients as ::ffff:a.b.c.d.
    if (v6.is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, v6).to_string();
    auto bytes = v6.to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return boost::asio::ip::address_v6(bytes).to_string() + "/64";
}

}  // namespace korvane
