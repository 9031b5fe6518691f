// Korvane - korvane-serve's attack test.
// SPDX-License-Identifier: MIT
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace korvane::attack {

// Many connections to korvane-serve from one loopback address, all doing one
// thing, on a thread of their own, until stopped.
class Raiders {
public:
    enum class Kind {
        EndlessHeads,  // a head of 50,000 empty fields, then held; again when closed
        Idle,          // nothing sent, held; again as soon as closed
        MuteViewers,   // a WebSocket upgrade, then nothing read ever
        ViewerChurn,   // a WebSocket upgrade, its answer read, closed; again at once
    };

    // `count` connections to 127.0.0.1:`port` from `from` (127.0.0.2, say).
    Raiders(Kind kind, std::size_t count, const std::string& from, unsigned short port);
    // Closes every connection; none is opened again.
    ~Raiders();
    Raiders(const Raiders&) = delete;
    Raiders& operator=(const Raiders&) = delete;

    // Connections opened so far.
    std::size_t opened() const { return opened_; }

private:
    struct Raider;
    void open(const std::shared_ptr<Raider>& raider);
    void onOpen(const std::shared_ptr<Raider>& raider);
    void send(const std::shared_ptr<Raider>& raider);
    void hold(const std::shared_ptr<Raider>& raider);

    Kind kind_;
    boost::asio::ip::tcp::endpoint from_;
    boost::asio::ip::tcp::endpoint server_;
    std::string opening_;  // what each connection sends first
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    std::vector<std::shared_ptr<Raider>> raiders_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> opened_{0};
    std::thread thread_;
};

}  // namespace korvane::attack
