// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "ConnectionSlot.h"
#include "HttpAnswer.h"
#include "RequestHead.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <array>
#include <chrono>
#include <memory>
#include <optional>

namespace korvane {

class ScreenServer;

// One browser connection until it asks for the WebSocket or goes: reads
// requests one after the other and answers each. The head of a request is
// gathered here, every byte counted, in a buffer no larger than the longest
// head allowed; Beast parses it whole. A client that sends nothing, too
// much, or too slowly is cut off; the others never wait for it.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket socket, ScreenServer& server, ConnectionSlot slot);
    void run();

private:
    void awaitRequest(std::chrono::seconds time);
    void readHead();
    void onHead(std::size_t length);
    void serve();
    void send(HttpResponse response);
    void close();
    void drain(std::size_t budget);

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_{RequestHead::kLongestHead};
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    Route route_;  // of the request being read
    ScreenServer& server_;
    ConnectionSlot slot_;
    std::array<char, 16 * 1024> scratch_;
};

}  // namespace korvane
