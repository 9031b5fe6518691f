// Korvane - link throughput: the engine against a bare request/read loop.
// SPDX-License-Identifier: MIT
//
// korvane-link-bench PORT SECONDS [BAUD]
// Pulls screens from the instrument on PORT for SECONDS with a bare loop
// (request, read 40960 bytes, repeat: the most any reader can get from the
// link), then as long through the engine's reader thread, and prints both
// rates and their ratio. What the engine loses against the bare loop is its
// own cost per screen.
#include "LinkBench.h"
#include "Engine.h"
#include "SerialPort.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace korvane;
using namespace korvane::bench;

class CountingHost : public EngineHost {
public:
    void screenPublished() override {}
    void linkLost() override {}
};

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

Figures korvane::bench::timeExchanges(double seconds, const std::function<Exchange()>& exchange)
{
    std::uint64_t screens = 0;
    const double processorStart = processorSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        const Exchange done = exchange();
        if (done == Exchange::Broken)
            break;
        if (done == Exchange::Screen)
            ++screens;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double processor = processorSeconds() - processorStart;
    return {double(screens) / elapsed, screens ? processor * 1e6 / double(screens) : 0};
}

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
