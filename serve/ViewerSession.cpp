// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ViewerSession.h"

#include "Version.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/websocket/stream_base.hpp>

namespace korvane {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

namespace {

// The page sends nothing but control frames; anything longer ends the viewer.
constexpr std::size_t kLongestIncoming = 1024;

}  // namespace

ViewerSession::ViewerSession(boost::asio::ip::tcp::socket socket, ScreenServer& server)
    : socket_(std::move(socket))
    , server_(server)
{
    beast::error_code ec;
    const auto endpoint = beast::get_lowest_layer(socket_).socket().remote_endpoint(ec);
    if (!ec) {
        const std::string address = endpoint.address().to_string();
        peer_ = (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(endpoint.port());
    } else {
        peer_ = "(gone)";
    }
}

void ViewerSession::run(HttpRequest request)
{
    // Beast's suggested server timeouts: 30 s for the handshake, and a
    // viewer silent for 300 s, pings included, is closed.
    socket_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    socket_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
        response.set(beast::http::field::server, "korvane-serve/" KORVANE_VERSION_SHORT);
    }));
    socket_.read_message_max(kLongestIncoming);
    socket_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
        if (ec)
            return;  // Beast has answered the bad upgrade
        self->open_ = true;
        self->server_.join(self);
        self->read();
    });
}

void ViewerSession::read()
{
    socket_.async_read(incoming_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec)
            return self->end();
        self->incoming_.clear();
        self->read();
    });
}

void ViewerSession::sendScreen(std::shared_ptr<const std::string> message)
{
    waitingScreen_ = std::move(message);
    flush();
}

void ViewerSession::sendStatus(std::shared_ptr<const std::string> message)
{
    waitingStatus_ = std::move(message);
    flush();
}

void ViewerSession::flush()
{
    if (writing_ || !open_)
        return;
    // The state first: it is small and tells what the screen means.
    std::shared_ptr<const std::string> message;
    const bool screen = !waitingStatus_;
    message = screen ? std::move(waitingScreen_) : std::move(waitingStatus_);
    if (!message)
        return;
    writing_ = true;
    socket_.binary(screen);
    socket_.async_write(boost::asio::buffer(*message),
                        [self = shared_from_this(), message](beast::error_code ec, std::size_t) {
                            self->writing_ = false;
                            if (ec)
                                return self->end();
                            self->flush();
                        });
}

void ViewerSession::end()
{
    if (!open_)
        return;
    open_ = false;
    waitingScreen_.reset();
    waitingStatus_.reset();
    server_.leave(shared_from_this());
}

}  // namespace korvane
