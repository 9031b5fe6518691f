// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <array>
#include <memory>
#include <optional>

namespace korvane {

class ScreenServer;

// One browser connection until it asks for the WebSocket or goes: reads
// requests one after the other (Beast parses them) and answers each.
// A client that sends nothing, or too much, is cut off; the others never
// wait for it.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket socket, ScreenServer& server);
    void run();

private:
    void read();
    void onRead(boost::beast::error_code ec);
    void reply(boost::beast::http::status status, const char* reason);
    void close();
    void drain();

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    ScreenServer& server_;
    std::array<char, 4096> scratch_;
};

}  // namespace korvane
