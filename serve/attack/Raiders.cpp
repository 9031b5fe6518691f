// Korvane - korvane-serve's attack test.
// SPDX-License-Identifier: MIT
#include "Raiders.h"

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <netinet/in.h>

namespace korvane::attack {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

std::string openingOf(Raiders::Kind kind)
{
    const std::string upgrade = "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
                                "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    switch (kind) {
    case Raiders::Kind::EndlessHeads: {
        std::string head = "GET /status.json HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        for (int i = 0; i < 50000; ++i)
            head += "a:\r\n";
        return head;
    }
    case Raiders::Kind::Idle: return {};
    case Raiders::Kind::MuteViewers:
    case Raiders::Kind::ViewerChurn: return upgrade;
    }
    return {};
}

}  // namespace

struct Raiders::Raider {
    explicit Raider(asio::io_context& io)
        : socket(io)
        , pause(io)
    {
    }
    tcp::socket socket;
    asio::steady_timer pause;
    std::size_t sent = 0;
    std::array<char, 4096> scratch;
};

Raiders::Raiders(Kind kind, std::size_t count, const std::string& from, unsigned short port)
    : kind_(kind)
    , from_(asio::ip::make_address(from), 0)
    , server_(asio::ip::make_address("127.0.0.1"), port)
    , opening_(openingOf(kind))
    , work_(asio::make_work_guard(io_))
{
    for (std::size_t i = 0; i < count; ++i)
        raiders_.push_back(std::make_shared<Raider>(io_));
    for (const auto& raider : raiders_)
        open(raider);
    thread_ = std::thread([this] { io_.run(); });
}

Raiders::~Raiders()
{
    stopping_ = true;
    asio::post(io_, [this] {
        for (const auto& raider : raiders_) {
            boost::system::error_code ignored;
            raider->socket.close(ignored);
            raider->pause.cancel();
        }
    });
    work_.reset();
    thread_.join();
}

void Raiders::open(const std::shared_ptr<Raider>& raider)
{
    if (stopping_)
        return;
    boost::system::error_code ec;
    raider->socket.close(ec);
    raider->socket.open(tcp::v4(), ec);
    // The port is chosen at connect, not at bind: thousands of connections
    // from one address would otherwise run out of ports.
    const int noPort = 1;
    ::setsockopt(raider->socket.native_handle(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &noPort, sizeof noPort);
    if (kind_ == Kind::MuteViewers)
        raider->socket.set_option(asio::socket_base::receive_buffer_size(4096), ec);
    raider->socket.bind(from_, ec);
    raider->socket.async_connect(server_, [this, raider](boost::system::error_code error) {
        if (error)
            return open(raider);
        ++opened_;
        onOpen(raider);
    });
}

void Raiders::onOpen(const std::shared_ptr<Raider>& raider)
{
    raider->sent = 0;
    send(raider);
}

void Raiders::send(const std::shared_ptr<Raider>& raider)
{
    if (raider->sent == opening_.size()) {
        if (kind_ != Kind::MuteViewers)
            hold(raider);
        return;
    }
    // Endless heads go in pieces a few milliseconds apart, as a slow
    // link would bring them: a server may read each piece alone.
    const std::size_t piece = kind_ == Kind::EndlessHeads ? 1024 : opening_.size();
    const auto bytes = asio::buffer(opening_.data() + raider->sent, std::min(piece, opening_.size() - raider->sent));
    asio::async_write(raider->socket, bytes, [this, raider](boost::system::error_code ec, std::size_t n) {
        if (ec)
            return open(raider);  // refused or cut off on the way: again
        raider->sent += n;
        raider->pause.expires_after(std::chrono::milliseconds(kind_ == Kind::EndlessHeads ? 20 : 0));
        raider->pause.async_wait([this, raider](boost::system::error_code) { send(raider); });
    });
}

void Raiders::hold(const std::shared_ptr<Raider>& raider)
{
    // Reads until the server closes; a churning viewer closes after the first answer.
    raider->socket.async_read_some(asio::buffer(raider->scratch),
                                   [this, raider](boost::system::error_code ec, std::size_t) {
                                       if (ec || kind_ == Kind::ViewerChurn)
                                           return open(raider);
                                       hold(raider);
                                   });
}

}  // namespace korvane::attack
