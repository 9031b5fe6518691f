// Korvane - korvane-serve benchmarks.
// SPDX-License-Identifier: MIT
#include "ViewerCrowd.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>

#include <future>

namespace korvane::bench {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;

ViewerCrowd::ViewerCrowd(std::string host, unsigned short port, std::function<std::uint64_t()> stamp)
    : host_(std::move(host))
    , port_(port)
    , stamp_(std::move(stamp))
    , work_(asio::make_work_guard(io_))
    , thread_([this] { io_.run(); })
{
}

ViewerCrowd::~ViewerCrowd()
{
    asio::post(io_, [this] {
        for (auto& viewer : viewers_) {
            beast::error_code ignored;
            beast::get_lowest_layer(viewer->socket).socket().close(ignored);
        }
    });
    work_.reset();
    thread_.join();
}

bool ViewerCrowd::add(std::size_t count, std::string* error)
{
    tcp::resolver resolver(io_);
    beast::error_code ec;
    const auto endpoints = resolver.resolve(host_, std::to_string(port_), ec);
    for (std::size_t i = 0; i < count && !ec; ++i) {
        // Connected and shaken hands here, read on the crowd's thread.
        auto viewer = std::make_unique<Viewer>(io_);
        beast::get_lowest_layer(viewer->socket).connect(endpoints, ec);
        if (!ec)
            viewer->socket.handshake(host_ + ":" + std::to_string(port_), "/live", ec);
        if (ec)
            break;
        Viewer* raw = viewer.get();
        std::promise<void> started;
        asio::post(io_, [this, raw, &started, viewer = std::move(viewer)]() mutable {
            viewers_.push_back(std::move(viewer));
            read(*raw);
            started.set_value();
        });
        started.get_future().wait();
    }
    if (ec)
        *error = "cannot open a viewer on " + host_ + ":" + std::to_string(port_) + ": " + ec.message();
    return !ec;
}

void ViewerCrowd::read(Viewer& viewer)
{
    viewer.socket.async_read(viewer.incoming, [this, &viewer](beast::error_code ec, std::size_t bytes) {
        if (ec)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (viewer.socket.got_binary()) {
            const std::uint64_t stamp = stamp_();
            std::lock_guard lock(mutex_);
            screens_.push_back({now, bytes, stamp});
            viewer.hadScreen = true;
        }
        viewer.incoming.consume(viewer.incoming.size());
        read(viewer);
    });
}

std::size_t ViewerCrowd::viewersWithScreens() const
{
    std::promise<std::size_t> counted;
    asio::post(const_cast<asio::io_context&>(io_), [this, &counted] {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const auto& viewer : viewers_)
            n += viewer->hadScreen ? 1 : 0;
        counted.set_value(n);
    });
    return counted.get_future().get();
}

std::vector<ViewerCrowd::Screen> ViewerCrowd::takeScreens()
{
    std::promise<std::vector<Screen>> taken;
    asio::post(io_, [this, &taken] {
        std::lock_guard lock(mutex_);
        for (auto& viewer : viewers_)
            viewer->hadScreen = false;
        taken.set_value(std::exchange(screens_, {}));
    });
    return taken.get_future().get();
}

}  // namespace korvane::bench
