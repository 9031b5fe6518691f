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
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace korvane;

// Processor time of this process so far, in seconds.
double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One loop's figures: screens a second, and this process's processor time a
// screen (what a loaded machine disturbs far less than the rate).
struct Figures {
    double screensPerSecond = -1;
    double processorMicrosPerScreen = 0;
};

class CountingHost : public EngineHost {
public:
    void screenPublished() override {}
    void linkLost() override {}
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

// The bare loop's figures; a negative rate when the port cannot be used.
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
    std::uint64_t screens = 0;
    const double processorStart = processorSeconds();
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
    const double processor = processorSeconds() - processorStart;
    ::tcflush(fd, TCIOFLUSH);
    ::close(fd);
    return {double(screens) / elapsed, screens ? processor * 1e6 / double(screens) : 0};
}

Figures engineLoop(const std::string& port, double seconds, int baud)
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
        return {};
    auto screens = [&] {
        std::uint64_t n = 0;
        engine.screen().read([&](const ScreenView& view) { n = view.screenNumber; });
        return n;
    };
    const std::uint64_t first = screens();
    const double processorStart = processorSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::uint64_t last = screens();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double processor = processorSeconds() - processorStart;
    engine.shutdown();
    const double taken = double(last - first);
    return {taken / elapsed, taken > 0 ? processor * 1e6 / taken : 0};
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
    const Figures bare = bareLoop(port, seconds, baud);
    const Figures engine = engineLoop(port, seconds, baud);
    if (bare.screensPerSecond < 0 || engine.screensPerSecond < 0) {
        std::fprintf(stderr, "korvane-link-bench: cannot open %s\n", port.c_str());
        return 1;
    }
    std::printf("bare %.1f screens/s\nengine %.1f screens/s\nratio %.3f\n", bare.screensPerSecond,
                engine.screensPerSecond,
                bare.screensPerSecond > 0 ? engine.screensPerSecond / bare.screensPerSecond : 0.0);
    std::printf("bare processor %.1f us/screen\nengine processor %.1f us/screen\n", bare.processorMicrosPerScreen,
                engine.processorMicrosPerScreen);
    return 0;
}
