// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "HttpSession.h"

#include "ScreenServer.h"
#include "Version.h"
#include "ViewerSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include <chrono>

namespace korvane {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

// A request's whole head, its body (the commands have none), and the time a
// client has to send a request before the connection is closed.
constexpr std::uint32_t kLongestHead = 8 * 1024;
constexpr std::uint64_t kLongestBody = 1024;
constexpr std::chrono::seconds kRequestTime{5};
constexpr std::chrono::seconds kLingerTime{2};

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket socket, ScreenServer& server)
    : stream_(std::move(socket))
    , server_(server)
{
}

void HttpSession::run()
{
    read();
}

void HttpSession::read()
{
    parser_.emplace();
    parser_->header_limit(kLongestHead);
    parser_->body_limit(kLongestBody);
    stream_.expires_after(kRequestTime);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
}

void HttpSession::onRead(beast::error_code ec)
{
    if (ec == http::error::header_limit)
        return reply(http::status::request_header_fields_too_large, "Request header fields too large\n");
    if (ec == http::error::body_limit)
        return reply(http::status::payload_too_large, "Request too large: the commands take no body\n");
    const bool unreadable = ec && ec.category() == beast::error_code(http::error::bad_method).category()
        && ec != http::error::end_of_stream && ec != http::error::partial_message;
    if (unreadable)
        return reply(http::status::bad_request, "Bad request: not an HTTP request korvane-serve can read\n");
    if (ec)
        return close();  // gone, or sent nothing in time

    HttpRequest request = parser_->release();
    const Route route = server_.route(request);
    if (route.resource == Resource::Live) {
        // From here the WebSocket owns the connection, with timeouts of its own.
        stream_.expires_never();
        std::make_shared<ViewerSession>(stream_.release_socket(), server_)->run(std::move(request));
        return;
    }
    auto response = std::make_shared<HttpResponse>(server_.answer(request, route));
    stream_.expires_after(kRequestTime);
    http::async_write(stream_, *response, [self = shared_from_this(), response](beast::error_code ec, std::size_t) {
        if (ec || !response->keep_alive())
            return self->close();
        self->read();
    });
}

void HttpSession::reply(http::status status, const char* reason)
{
    auto response = std::make_shared<HttpResponse>(status, 11);
    response->set(http::field::server, "korvane-serve/" KORVANE_VERSION_SHORT);
    response->set(http::field::content_type, "text/plain; charset=utf-8");
    response->keep_alive(false);
    response->body() = reason;
    response->prepare_payload();
    stream_.expires_after(kRequestTime);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code, std::size_t) { self->close(); });
}

void HttpSession::close()
{
    // Closing with the client's bytes still unread would reset the
    // connection and could lose the answer on its way: the rest of what it
    // sends is read and dropped for a moment first.
    beast::error_code ignored;
    stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTime);
    drain();
}

void HttpSession::drain()
{
    stream_.async_read_some(boost::asio::buffer(scratch_),
                            [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                if (ec)
                                    return self->stream_.close();
                                self->drain();
                            });
}

}  // namespace korvane
