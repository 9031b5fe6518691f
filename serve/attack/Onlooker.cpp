// Korvane - korvane-serve's attack test.
// SPDX-License-Identifier: MIT
#include "Onlooker.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <sys/socket.h>

namespace korvane::attack {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;

namespace {

constexpr std::chrono::milliseconds kAskPeriod{200};
constexpr std::chrono::seconds kAnswerWait{5};

}  // namespace

Onlooker::Onlooker(unsigned short port)
    : port_(port)
    , viewer_([this] { watch(); })
    , asker_([this] { ask(); })
{
}

Onlooker::~Onlooker()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        // Wakes the page's blocking read.
        if (viewerSocket_ >= 0)
            ::shutdown(viewerSocket_, SHUT_RDWR);
    }
    viewer_.join();
    asker_.join();
}

void Onlooker::watch()
{
    asio::io_context io;
    beast::websocket::stream<tcp::socket> page(io);
    beast::error_code ec;
    page.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port_), ec);
    {
        std::lock_guard lock(mutex_);
        viewerSocket_ = page.next_layer().native_handle();
        if (stopping_)
            ec = asio::error::operation_aborted;
    }
    if (!ec)
        page.handshake("127.0.0.1:" + std::to_string(port_), "/live", ec);
    while (!ec) {
        beast::flat_buffer message;
        page.read(message, ec);
        if (!ec && page.got_binary()) {
            std::lock_guard lock(mutex_);
            screens_.push_back(Clock::now());
        }
    }
    std::lock_guard lock(mutex_);
    watching_ = false;
    viewerSocket_ = -1;
}

void Onlooker::ask()
{
    const std::string request =
        "GET /status.json HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\nConnection: close\r\n\r\n";
    const tcp::endpoint server(asio::ip::make_address("127.0.0.1"), port_);
    for (auto next = Clock::now();; next += kAskPeriod) {
        std::this_thread::sleep_until(next);
        if (std::lock_guard lock(mutex_); stopping_)
            return;
        const auto start = Clock::now();
        // Connecting, sending and reading until the server closes, all
        // within the wait: a server whose backlog is full is no answer.
        asio::io_context io;
        tcp::socket socket(io);
        std::string answer;
        bool whole = false;
        socket.async_connect(server, [&](beast::error_code ec) {
            if (ec)
                return;
            asio::async_write(socket, asio::buffer(request), [&](beast::error_code ec, std::size_t) {
                if (ec)
                    return;
                asio::async_read(socket, asio::dynamic_buffer(answer),
                                 [&](beast::error_code ec, std::size_t) { whole = ec == asio::error::eof; });
            });
        });
        io.run_for(kAnswerWait);
        const int status =
            whole && answer.starts_with("HTTP/1.1 ") && answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::lock_guard lock(mutex_);
        asks_.push_back({start, ms, status});
        if (status == 200)
            lastState_ = answer.substr(answer.find("\r\n\r\n") + 4);
        if (next + kAskPeriod < Clock::now())
            next = Clock::now();  // late: no burst to catch up
    }
}

std::string Onlooker::lastState() const
{
    std::lock_guard lock(mutex_);
    return lastState_;
}

std::vector<Onlooker::Ask> Onlooker::asksSince(Clock::time_point from) const
{
    std::lock_guard lock(mutex_);
    std::vector<Ask> since;
    for (const Ask& a : asks_)
        if (a.at >= from)
            since.push_back(a);
    return since;
}

std::vector<Onlooker::Clock::time_point> Onlooker::screensSince(Clock::time_point from) const
{
    std::lock_guard lock(mutex_);
    std::vector<Clock::time_point> since;
    for (const auto& at : screens_)
        if (at >= from)
            since.push_back(at);
    return since;
}

bool Onlooker::watching() const
{
    std::lock_guard lock(mutex_);
    return watching_;
}

}  // namespace korvane::attack
