// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ViewerSession.h"

#include "HttpAnswer.h"
#include "PeerAddress.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/websocket/stream_base.hpp>

namespace korvane {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

namespace {

// The page sends nothing but control frames; anything longer ends the viewer.
constexpr std::size_t kLongestIncoming = 1024;
// The system's send buffer for a viewer, in bytes: a few seconds of screens
// (a few kB each), where the system would otherwise let a viewer that reads
// nothing hold megabytes.
constexpr int kSendBuffer = 64 * 1024;

}  // namespace

ViewerSession::ViewerSession(boost::asio::ip::tcp::socket socket, ScreenServer& server, ConnectionSlot slot)
    : socket_(std::move(socket))
    , server_(server)
    , slot_(std::move(slot))
{
    auto& tcp = beast::get_lowest_layer(socket_).socket();
    beast::error_code ec;
    tcp.set_option(boost::asio::socket_base::send_buffer_size(kSendBuffer), ec);
    const auto endpoint = tcp.remote_endpoint(ec);
    peer_ = ec ? "(gone)" : PeerAddress::text(endpoint);
}

void ViewerSession::run(HttpRequest request)
{
    // Beast's suggested server timeouts: 30 s for the handshake, and a
    // viewer silent for 300 s, pings included, is closed.
    socket_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    socket_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { HttpAnswer::addCommonFields(response); }));
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
    // The state first, as it is small and tells what the screen means, but
    // never twice in a row while a screen waits: states that keep changing
    // (viewers coming and going) must not starve the screens.
    const bool screen = waitingScreen_ && (!waitingStatus_ || lastWasStatus_);
    std::shared_ptr<const std::string> message = screen ? std::move(waitingScreen_) : std::move(waitingStatus_);
    if (!message)
        return;
    lastWasStatus_ = !screen;
    writing_ = true;
    writeStarted_ = std::chrono::steady_clock::now();
    socket_.binary(screen);
    socket_.async_write(boost::asio::buffer(*message),
                        [self = shared_from_this(), message](beast::error_code ec, std::size_t) {
                            self->writing_ = false;
                            if (ec)
                                return self->end();
                            self->flush();
                        });
}

void ViewerSession::drop()
{
    // Reset rather than closed: what the system still holds for the
    // viewer is thrown away instead of being sent on for minutes.
    auto& tcp = beast::get_lowest_layer(socket_).socket();
    beast::error_code ignored;
    tcp.set_option(boost::asio::socket_base::linger(true, 0), ignored);
    tcp.close(ignored);
    end();
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
