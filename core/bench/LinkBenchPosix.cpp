// Korvane - link throughput: the bare loop on POSIX systems.
// SPDX-License-Identifier: MIT
#include "LinkBench.h"

#include "RawMode.h"
#include "ScreenGeometry.h"
#include "SerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace korvane::bench {

namespace {

bool readFrame(int fd, std::uint8_t* frame)
{
    std::size_t got = 0;
    while (got < kFrameBytes) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            return false;
        const ssize_t n = ::read(fd, frame + got, kFrameBytes - got);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Figures bareLoop(const std::string& port, double seconds, int baud)
{
    SerialPort claim;  // the same exclusive raw open as the engine's
    if (claim.open(port) != PortResult::Ok)
        return {};
    if (baud > 0)
        claim.setBaudRate(baud);
    claim.close();
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    termios settings{};
    ::tcgetattr(fd, &settings);
    applyRawMode(settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    ::tcflush(fd, TCIOFLUSH);
    static std::uint8_t frame[kFrameBytes];
    const Figures figures = timeExchanges(seconds, [&] {
        if (::write(fd, screenRequest, sizeof screenRequest) != sizeof screenRequest)
            return Exchange::Broken;
        if (readFrame(fd, frame))
            return Exchange::Screen;
        ::tcflush(fd, TCIFLUSH);
        return Exchange::NoScreen;
    });
    ::tcflush(fd, TCIOFLUSH);
    ::close(fd);
    return figures;
}

}  // namespace korvane::bench
