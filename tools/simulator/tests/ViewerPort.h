// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace zls740sim::test {

// The viewer's end of the link as the tests play it: the slave device opened
// through the link, in raw mode, with reads that wait at most a deadline.
class ViewerPort {
public:
    explicit ViewerPort(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (fd_ < 0)
            return;
        termios settings{};
        ::tcgetattr(fd_, &settings);
        ::cfmakeraw(&settings);
        settings.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
    ~ViewerPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ViewerPort(const ViewerPort&) = delete;
    ViewerPort& operator=(const ViewerPort&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Returns the result of write(), with errno as write() left it.
    ssize_t send(const std::vector<std::uint8_t>& bytes) { return ::write(fd_, bytes.data(), bytes.size()); }
    ssize_t sendRequest() { return send({0x57, 0x00, 0x00, 0x0A}); }

    // Reads until `count` bytes have come or `timeoutMs` has passed; returns
    // what came.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs)
    {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::uint8_t buffer[8192];
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            const std::size_t want = std::min(sizeof buffer, count - bytes.size());
            const ssize_t n = ::read(fd_, buffer, want);
            if (n > 0)
                bytes.insert(bytes.end(), buffer, buffer + n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
        return bytes;
    }

private:
    int fd_ = -1;
};

// Waits for a condition with a generous deadline instead of a fixed sleep.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::usleep(2000);
    }
    return true;
}

}  // namespace zls740sim::test
