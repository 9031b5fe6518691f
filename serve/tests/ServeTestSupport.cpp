// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "ServeTestSupport.h"

#include "TestSupport.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>

#include <future>
#include <poll.h>
#include <pthread.h>

namespace korvane::test {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;

tcp::socket connectFrom(asio::io_context& io, unsigned short port, const std::string& from)
{
    tcp::socket socket(io, tcp::endpoint(asio::ip::make_address(from), 0));
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    return socket;
}

ServeHarness::ServeHarness(const std::filesystem::path& workDir, const std::string& port, const std::string& listenHost,
                           ConnectionBook::Caps caps)
    : server_(io_, ServeCommandLine{.port = port, .listenHost = listenHost, .listenPort = 0, .caps = caps},
              testConfig(workDir), events_)
{
    std::string error;
    if (!server_.listen(&error))
        throw std::runtime_error(error);
    const std::string url = server_.url();
    port_ = static_cast<unsigned short>(std::stoi(url.substr(url.rfind(':') + 1)));
    const std::size_t mark = url.find('?');
    if (mark != std::string::npos)
        tokenQuery_ = url.substr(mark);
    server_.start();
    thread_ = std::thread([this] { io_.run(); });
    if (!waitFor([&] { return statusFlag(request(port_, "GET", "/status.json" + tokenQuery_).body, "connected"); },
                 std::chrono::seconds(20))) {
        asio::post(io_, [this] { server_.stop(0); });
        thread_.join();
        throw std::runtime_error("the server never opened the instrument's port");
    }
}

ServeHarness::~ServeHarness()
{
    asio::post(io_, [this] { server_.stop(0); });
    thread_.join();
}

unsigned ServeHarness::connections()
{
    std::promise<unsigned> counted;
    asio::post(io_, [&] { counted.set_value(server_.connections()); });
    return counted.get_future().get();
}

std::chrono::nanoseconds ServeHarness::ioThreadTime() const
{
    clockid_t clock;
    timespec used{};
    if (::pthread_getcpuclockid(const_cast<std::thread&>(thread_).native_handle(), &clock) == 0)
        ::clock_gettime(clock, &used);
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

Reply request(unsigned short port, const std::string& method, const std::string& target)
{
    Reply reply = rawExchange(port,
                              method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port)
                                  + "\r\nConnection: close\r\n\r\n");
    const std::size_t headEnd = reply.body.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return {};
    reply.fields = reply.body.substr(0, headEnd + 2);
    reply.body.erase(0, headEnd + 4);
    return reply;
}

Reply rawExchange(unsigned short port, const std::string& bytes, const std::string& from)
{
    asio::io_context io;
    tcp::socket socket = connectFrom(io, port, from);
    beast::error_code ec;
    if (!bytes.empty())
        asio::write(socket, asio::buffer(bytes), ec);
    Reply reply;
    std::array<char, 4096> chunk;
    for (;;) {
        // A server that never answers fails the test instead of hanging it.
        pollfd ready{socket.native_handle(), POLLIN, 0};
        if (::poll(&ready, 1, 15000) <= 0) {
            reply.fields = "still open";
            break;
        }
        const std::size_t got = socket.read_some(asio::buffer(chunk), ec);
        if (ec)
            break;
        reply.body.append(chunk.data(), got);
    }
    if (reply.body.starts_with("HTTP/1.1 ") && reply.body.size() >= 12)
        reply.status = std::stoi(reply.body.substr(9, 3));
    return reply;
}

bool statusFlag(const std::string& json, const std::string& name)
{
    return json.find("\"" + name + "\":true") != std::string::npos;
}

std::uint64_t statusNumber(const std::string& json, const std::string& name)
{
    const std::string key = "\"" + name + "\":";
    const std::size_t at = json.find(key);
    return at == std::string::npos ? 0 : std::stoull(json.substr(at + key.size()));
}

Viewer::Viewer(unsigned short port, const std::string& query)
    : socket_(connectFrom(io_, port, "127.0.0.1"))
{
    socket_.handshake("127.0.0.1:" + std::to_string(port), "/live" + query);
}

bool Viewer::next(std::string& message, bool& binary)
{
    beast::flat_buffer buffer;
    beast::error_code ec;
    socket_.read(buffer, ec);
    if (ec)
        return false;
    message = beast::buffers_to_string(buffer.data());
    binary = socket_.got_binary();
    return true;
}

bool Viewer::nextScreen(std::string& message)
{
    bool binary = false;
    while (next(message, binary))
        if (binary)
            return true;
    return false;
}

bool Viewer::awaitState(const std::string& field, bool value)
{
    std::string message;
    bool binary = false;
    while (next(message, binary))
        if (!binary && statusFlag(message, field) == value)
            return true;
    return false;
}

}  // namespace korvane::test
