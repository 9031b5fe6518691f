// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "HttpSession.h"

#include "ScreenServer.h"
#include "ViewerSession.h"

#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <limits>

namespace korvane {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

// The time a new connection has to send its whole first request, and a
// kept-alive one its next (or to take an answer); then it is closed.
constexpr std::chrono::seconds kFirstRequestTime{3};
constexpr std::chrono::seconds kRequestTime{5};
// How long, and how much of, a closing connection's last bytes are read
// and dropped before it is closed anyway.
constexpr std::chrono::seconds kLingerTime{2};
constexpr std::size_t kLingerBytes = 64 * 1024;
constexpr const char* kUnreadable = "Bad request: not an HTTP request korvane-serve can read";

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket socket, ScreenServer& server, ConnectionSlot slot)
    : stream_(std::move(socket))
    , server_(server)
    , slot_(std::move(slot))
{
}

void HttpSession::run()
{
    awaitRequest(kFirstRequestTime);
}

void HttpSession::awaitRequest(std::chrono::seconds time)
{
    // One deadline for the whole request, head and body.
    stream_.expires_after(time);
    readHead();
}

void HttpSession::readHead()
{
    const std::string_view received(static_cast<const char*>(buffer_.cdata().data()), buffer_.size());
    if (const auto length = RequestHead::length(received))
        return onHead(*length);
    if (RequestHead::startsBadly(received))
        return send(HttpAnswer::refusal(11, 400, kUnreadable));
    // The buffer holds at most the longest head: a head not ended by then is too long.
    if (buffer_.size() >= RequestHead::kLongestHead)
        return send(HttpAnswer::refusal(11, 431, RequestHead::tooLong().reason));
    stream_.async_read_some(buffer_.prepare(RequestHead::kLongestHead - buffer_.size()),
                            [self = shared_from_this()](beast::error_code ec, std::size_t got) {
                                if (ec)
                                    return self->close();  // gone, or sent nothing in time
                                self->buffer_.commit(got);
                                self->readHead();
                            });
}

void HttpSession::onHead(std::size_t length)
{
    const std::string_view head(static_cast<const char*>(buffer_.cdata().data()), length);
    if (const auto refused = RequestHead::refusal(head))
        return send(HttpAnswer::refusal(11, refused->status, refused->reason));
    parser_.emplace();
    parser_->header_limit(std::uint32_t(RequestHead::kLongestHead));
    // A declared length beyond the limit is the router's 413, not Beast's error.
    parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
    beast::error_code ec;
    parser_->put(boost::asio::buffer(head), ec);
    buffer_.consume(length);
    if (ec || !parser_->is_header_done())
        return send(HttpAnswer::refusal(11, 400, kUnreadable));
    route_ = server_.route(parser_->get());
    if (route_.resource == Resource::Refused)
        return send(server_.answer(parser_->get(), route_));  // before any body: the connection ends with it
    if (parser_->is_done())
        return serve();
    // A command's short body (the router has refused a longer one), read
    // and dropped within the same deadline.
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec)
            return self->close();
        self->serve();
    });
}

void HttpSession::serve()
{
    HttpRequest request = parser_->release();
    if (route_.resource != Resource::Live)
        return send(server_.answer(request, route_));
    const auto verdict = slot_.becomeViewer();
    if (verdict != ConnectionBook::Verdict::Admitted)
        return send(server_.refusal(request, verdict));
    // From here the WebSocket owns the connection, with timeouts of its own.
    stream_.expires_never();
    std::make_shared<ViewerSession>(stream_.release_socket(), server_, std::move(slot_))->run(std::move(request));
}

void HttpSession::send(HttpResponse answer)
{
    auto response = std::make_shared<HttpResponse>(std::move(answer));
    stream_.expires_after(kRequestTime);
    http::async_write(stream_, *response, [self = shared_from_this(), response](beast::error_code ec, std::size_t) {
        if (ec || !response->keep_alive())
            return self->close();
        self->awaitRequest(kRequestTime);
    });
}

void HttpSession::close()
{
    // Closing with the client's bytes still unread would reset the
    // connection and could lose the answer on its way: the rest of what it
    // sends is read and dropped for a moment first.
    beast::error_code ignored;
    stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTime);
    drain(kLingerBytes);
}

void HttpSession::drain(std::size_t budget)
{
    stream_.async_read_some(boost::asio::buffer(scratch_),
                            [self = shared_from_this(), budget](beast::error_code ec, std::size_t got) {
                                if (ec || got >= budget)
                                    return self->stream_.close();
                                self->drain(budget - got);
                            });
}

}  // namespace korvane
