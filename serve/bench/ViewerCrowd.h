// Korvane - korvane-serve benchmarks.
// SPDX-License-Identifier: MIT
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::bench {

// Pages watching korvane-serve's /live as a browser does: WebSocket clients
// on one thread of their own that read every message as soon as it comes.
class ViewerCrowd {
public:
    struct Screen {
        std::chrono::steady_clock::time_point at;  // when the whole message was read
        std::size_t bytes;                         // the message's payload
        std::uint64_t stamp;                       // what `stamp` gave as it was read
    };

    // `stamp` is called on the crowd's thread as each screen is read.
    ViewerCrowd(std::string host, unsigned short port, std::function<std::uint64_t()> stamp);
    ~ViewerCrowd();
    ViewerCrowd(const ViewerCrowd&) = delete;
    ViewerCrowd& operator=(const ViewerCrowd&) = delete;

    // Opens `count` more viewers; false with the reason.
    bool add(std::size_t count, std::string* error);
    std::size_t size() const { return viewers_.size(); }
    // How many viewers have had a screen since the last takeScreens().
    std::size_t viewersWithScreens() const;
    // The screens every viewer received since the last call.
    std::vector<Screen> takeScreens();

private:
    struct Viewer {
        explicit Viewer(boost::asio::io_context& io)
            : socket(io)
        {
        }
        boost::beast::websocket::stream<boost::beast::tcp_stream> socket;
        boost::beast::flat_buffer incoming;
        bool hadScreen = false;
    };
    void read(Viewer& viewer);

    std::string host_;
    unsigned short port_;
    std::function<std::uint64_t()> stamp_;
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    std::vector<std::unique_ptr<Viewer>> viewers_;
    mutable std::mutex mutex_;
    std::vector<Screen> screens_;
    std::thread thread_;
};

}  // namespace korvane::bench
