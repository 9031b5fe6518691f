// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenServer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace korvane::test {

// korvane-serve in this process, on its own I/O thread, serving on any free
// port of `listenHost` the instrument on `port` (COMn in `workDir`) within
// `caps`; ready once the server has opened the port (throws when it does not).
class ServeHarness {
public:
    ServeHarness(const std::filesystem::path& workDir, const std::string& port,
                 const std::string& listenHost = "127.0.0.1", ConnectionBook::Caps caps = {});
    ~ServeHarness();
    ServeHarness(const ServeHarness&) = delete;
    ServeHarness& operator=(const ServeHarness&) = delete;

    unsigned short port() const { return port_; }
    // "?token=..." when the server asks for one, else empty.
    const std::string& tokenQuery() const { return tokenQuery_; }
    // Connections the server holds now (asked on its I/O thread).
    unsigned connections();
    // Processor time the server's I/O thread has used so far.
    std::chrono::nanoseconds ioThreadTime() const;

private:
    boost::asio::io_context io_;
    std::ostringstream events_;  // read by no one while the thread runs
    ScreenServer server_;
    unsigned short port_ = 0;
    std::string tokenQuery_;
    std::thread thread_;
};

struct Reply {
    int status = 0;  // 0: no answer at all
    std::string body;
    std::string fields;  // the head as sent
};

// One HTTP/1.1 request to 127.0.0.1:`port`, with Host 127.0.0.1:`port`.
Reply request(unsigned short port, const std::string& method, const std::string& target);
// Sends `bytes` as they are and reads until the server closes (at most 15 s;
// then `fields` is "still open"); the status of the answer, 0 for none.
// From the loopback address `from` (any of 127.0.0.0/8).
Reply rawExchange(unsigned short port, const std::string& bytes, const std::string& from = "127.0.0.1");
// A connection to 127.0.0.1:`port` from `from`, left for the caller.
boost::asio::ip::tcp::socket connectFrom(boost::asio::io_context& io, unsigned short port, const std::string& from);

// A field of status.json.
bool statusFlag(const std::string& json, const std::string& name);
std::uint64_t statusNumber(const std::string& json, const std::string& name);

// A page watching over the WebSocket.
class Viewer {
public:
    explicit Viewer(unsigned short port, const std::string& query = {});
    // The next screen message, or the next state message whose `field` is
    // `value`, skipping others; false when the connection ends.
    bool nextScreen(std::string& message);
    bool awaitState(const std::string& field, bool value);

private:
    bool next(std::string& message, bool& binary);
    boost::asio::io_context io_;
    boost::beast::websocket::stream<boost::asio::ip::tcp::socket> socket_;
};

}  // namespace korvane::test
