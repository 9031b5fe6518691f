// Korvane - link throughput: the engine against a bare request/read loop.
// SPDX-License-Identifier: MIT
//
// korvane-link-bench PORT SECONDS [BAUD]
// Pulls screens from the instrument on PORT for SECONDS with a bare loop
// (request, read 40960 bytes, repeat: the most any reader can get from the
// link), then as long through the engine's reader thread, and prints both
// rates and their ratio. What the engine loses against the bare loop is its
// own cost per screen.
#include "Engine.h"
#include "RawMode.h"
#include "SerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace korvane;

class CountingHost : public EngineHost {
public:
    void requestRepaint() override {}
    void showConnectionError() override {}
};

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

// Screens per second of the bare loop; negative when the port cannot be used.
double bareLoop(const std::string& port, double seconds, int baud)
{
    SerialPort claim;  // the same exclusive raw open as the engine's
    if (claim.open(port) != PortResult::Ok)
        return -1;
    if (baud > 0)
        claim.setBaudRate(baud);
    claim.close();
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios settings{};
    ::tcgetattr(fd, &settings);
    applyRawMode(settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    ::tcflush(fd, TCIOFLUSH);
    static std::uint8_t frame[kFrameBytes];
    std::uint64_t screens = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        if (::write(fd, screenRequest, sizeof screenRequest) != sizeof screenRequest)
            break;
        if (readFrame(fd, frame))
            ++screens;
        else
            ::tcflush(fd, TCIFLUSH);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    ::tcflush(fd, TCIOFLUSH);
    ::close(fd);
    return double(screens) / elapsed;
}

double engineLoop(const std::string& port, double seconds, int baud)
{
    CountingHost host;
    EngineConfig config;
    config.workDir = "/";
    config.linkLog = false;
    config.baudRate = baud;
    Engine engine(host, config);
    engine.initEngine();
    engine.setPortName(port);
    if (engine.openLink() != 0)
        return -1;
    auto screens = [&] {
        std::uint64_t n = 0;
        engine.screen().read([&](const ScreenView& view) { n = view.screenNumber; });
        return n;
    };
    const std::uint64_t first = screens();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::uint64_t last = screens();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    engine.shutdown();
    return double(last - first) / elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "Usage: korvane-link-bench PORT SECONDS [BAUD]\n");
        return 2;
    }
    const std::string port = argv[1];
    const double seconds = std::atof(argv[2]);
    const int baud = argc == 4 ? std::atoi(argv[3]) : 0;
    if (seconds <= 0 || (argc == 4 && !SerialPort::isBaudRate(baud))) {
        std::fprintf(stderr, "korvane-link-bench: SECONDS must be positive and BAUD a rate the system can set\n");
        return 2;
    }
    const double bare = bareLoop(port, seconds, baud);
    const double engine = engineLoop(port, seconds, baud);
    if (bare < 0 || engine < 0) {
        std::fprintf(stderr, "korvane-link-bench: cannot open %s\n", port.c_str());
        return 1;
    }
    std::printf("bare %.1f screens/s\nengine %.1f screens/s\nratio %.3f\n", bare, engine,
                bare > 0 ? engine / bare : 0.0);
    return 0;
}
