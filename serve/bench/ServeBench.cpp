// Korvane - korvane-serve benchmarks.
// SPDX-License-Identifier: MIT
//
// korvane-serve on the simulated instrument at its own pace (24 screens a
// second), watched by 0, 1, 10 and 100 WebSocket viewers. Prints, never
// judges:
//  - the server process's processor time (user + system, /proc/PID/stat)
//    as a share of one core, and what the viewers add to it;
//  - each screen's delay: from the simulator writing the frame's last bytes
//    to the pseudo-terminal (its frame counter moves just before that
//    write) to a viewer having read the whole screen message; the
//    simulator, the clock and the viewers are in this one process;
//  - the screen message's size on the wire against 38,400 bytes of pixels.
// Usage: korvane-serve-bench [--seconds N] (each window; default 10)
#include "ChildProcess.h"
#include "ViewerCrowd.h"
#include "Zls740Simulator.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using korvane::bench::ViewerCrowd;
using korvane::test::ChildProcess;
using korvane::test::processorSeconds;

// The ZLS740's link: 983,040 bytes a second, 24 screens of 40,960 bytes.
constexpr double kInstrumentRate = 983040;
constexpr std::size_t kRawPixelBytes = 320 * 240 / 2;

// When each frame's last bytes went to the pseudo-terminal, by frame number.
class FrameClock {
public:
    explicit FrameClock(const zls740sim::Zls740Simulator& simulator)
        : simulator_(simulator)
        , thread_([this] { watch(); })
    {
    }
    ~FrameClock()
    {
        stop_ = true;
        thread_.join();
    }
    // The time frame `number` ended; false when this clock missed it.
    bool endOf(std::uint64_t number, Clock::time_point& end) const
    {
        std::lock_guard lock(mutex_);
        const auto found = ends_.find(number);
        if (found == ends_.end())
            return false;
        end = found->second;
        return true;
    }
    std::size_t framesBetween(Clock::time_point from, Clock::time_point to) const
    {
        std::lock_guard lock(mutex_);
        return std::size_t(std::count_if(ends_.begin(), ends_.end(),
                                         [&](const auto& e) { return e.second >= from && e.second < to; }));
    }

private:
    void watch()
    {
        std::uint64_t next = simulator_.framesSent() + 1;
        while (!stop_) {
            // Woken by the simulator's own condition variable as it counts
            // the frame, just before the write that ends it. A frame it
            // wakes too late for is left out rather than given a wrong time.
            if (!simulator_.waitForFrames(next, 100))
                continue;
            const auto now = Clock::now();
            const std::uint64_t sent = simulator_.framesSent();
            if (sent == next) {
                std::lock_guard lock(mutex_);
                ends_.emplace(sent, now);
            }
            next = sent + 1;
        }
    }

    const zls740sim::Zls740Simulator& simulator_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::uint64_t, Clock::time_point> ends_;
    std::thread thread_;
};

double ownProcessorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double>& sorted, double share)
{
    if (sorted.empty())
        return 0;
    const std::size_t at = std::min(sorted.size() - 1, std::size_t(share * double(sorted.size() - 1) + 0.5));
    return sorted[at];
}

struct Window {
    std::size_t viewers = 0;
    double seconds = 0;
    double serverCore = 0;  // % of one core
    double benchCore = 0;   // % of one core: the simulator and the viewers
    double frameRate = 0;   // frames the simulator completed a second
    double screensPerViewer = 0;
    std::vector<double> delaysMs;
    std::vector<std::size_t> sizes;
    std::size_t unmatched = 0;  // screens whose frame end the clock did not see in time
};

// The first whole line korvane-serve wrote that holds `text`, waiting up to
// half a minute; empty if none came.
std::string lineWith(const ChildProcess& serve, const std::string& text)
{
    std::string found;
    korvane::test::waitFor(
        [&] {
            std::istringstream lines(serve.output());
            for (std::string line; std::getline(lines, line) && !lines.eof();)
                if (line.find(text) != std::string::npos) {
                    found = line;
                    return true;
                }
            return false;
        },
        std::chrono::seconds(30));
    return found;
}

int fail(const std::string& why)
{
    std::fprintf(stderr, "korvane-serve-bench: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--seconds" && i + 1 < argc && std::atoi(argv[i + 1]) > 0)
            seconds = std::atoi(argv[++i]);
        else
            return fail("usage: korvane-serve-bench [--seconds N]");
    }

    namespace fs = std::filesystem;
    const korvane::test::ScratchDir scratch;
    const std::string folder = scratch.path().string();
    const std::string server = (fs::read_symlink("/proc/self/exe").parent_path() / "korvane-serve").string();

    zls740sim::SimulatorOptions options;
    options.linkDir = folder;
    options.comNumber = 5;
    options.bytesPerSecond = kInstrumentRate;
    zls740sim::Zls740Simulator simulator(options);
    std::string error;
    if (!simulator.start(&error))
        return fail("simulator: " + error);
    FrameClock frames(simulator);

    ChildProcess serve(server, {"--listen", "127.0.0.1:0", "--port", "COM5"}, folder);
    const std::string address = lineWith(serve, " in a browser");
    const std::size_t portAt = address.find("127.0.0.1:");
    if (portAt == std::string::npos)
        return fail("korvane-serve printed no address");
    const auto port = static_cast<unsigned short>(std::atoi(address.c_str() + portAt + 10));
    if (lineWith(serve, "instrument found").empty())
        return fail("korvane-serve found no instrument");
    // Screens flowing for a moment before the first window.
    simulator.waitForFrames(simulator.framesSent() + 24, 30000);

    // A screen read belongs to the newest frame the simulator has counted:
    // a later frame is only counted once its last bytes are being written,
    // over 40 ms after the one before.
    ViewerCrowd crowd("127.0.0.1", port, [&simulator] { return simulator.framesSent(); });
    std::vector<Window> windows;
    for (std::size_t viewers : {0, 1, 10, 100}) {
        if (!crowd.add(viewers - crowd.size(), &error))
            return fail(error);
        // Every viewer under way before the window opens.
        crowd.takeScreens();
        const auto ready = Clock::now() + std::chrono::seconds(30);
        while (crowd.viewersWithScreens() < viewers && Clock::now() < ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        crowd.takeScreens();

        Window w;
        w.viewers = viewers;
        const auto start = Clock::now();
        const double serverStart = processorSeconds(serve.pid());
        const double benchStart = ownProcessorSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const auto end = Clock::now();
        w.seconds = std::chrono::duration<double>(end - start).count();
        w.serverCore = 100 * (processorSeconds(serve.pid()) - serverStart) / w.seconds;
        w.benchCore = 100 * (ownProcessorSeconds() - benchStart) / w.seconds;
        w.frameRate = double(frames.framesBetween(start, end)) / w.seconds;
        const auto screens = crowd.takeScreens();
        w.screensPerViewer = viewers ? double(screens.size()) / double(viewers) / w.seconds : 0;
        for (const auto& screen : screens) {
            w.sizes.push_back(screen.bytes);
            Clock::time_point frameEnd;
            if (frames.endOf(screen.stamp, frameEnd) && frameEnd <= screen.at)
                w.delaysMs.push_back(std::chrono::duration<double, std::milli>(screen.at - frameEnd).count());
            else
                ++w.unmatched;
        }
        windows.push_back(std::move(w));
    }

    std::printf("korvane-serve on the simulator at %.0f bytes/s, %d s windows\n\n", kInstrumentRate, seconds);
    std::printf("viewers  frames/s  screens/s/viewer  server %%core  +%%core  bench %%core"
                "  delay p50   p95   max ms  screen bytes mean   min   max\n");
    const double baseline = windows.front().serverCore;
    for (auto& w : windows) {
        std::sort(w.delaysMs.begin(), w.delaysMs.end());
        const double mean = w.sizes.empty()
            ? 0
            : double(std::accumulate(w.sizes.begin(), w.sizes.end(), std::size_t(0))) / double(w.sizes.size());
        const auto [smallest, largest] = std::minmax_element(w.sizes.begin(), w.sizes.end());
        std::printf("%7zu  %8.1f  %16.1f  %12.1f  %6.1f  %11.1f", w.viewers, w.frameRate, w.screensPerViewer,
                    w.serverCore, w.serverCore - baseline, w.benchCore);
        if (w.viewers == 0) {
            std::printf("\n");
            continue;
        }
        std::printf("  %9.2f %5.2f %6.2f     %13.0f %5zu %5zu\n", percentile(w.delaysMs, 0.50),
                    percentile(w.delaysMs, 0.95), w.delaysMs.empty() ? 0.0 : w.delaysMs.back(), mean,
                    w.sizes.empty() ? 0 : *smallest, w.sizes.empty() ? 0 : *largest);
        if (w.unmatched)
            std::printf("         (%zu screens left out of the delays: the frame clock woke after them)\n",
                        w.unmatched);
    }
    const Window& one = windows[1];
    if (!one.sizes.empty()) {
        const double mean =
            double(std::accumulate(one.sizes.begin(), one.sizes.end(), std::size_t(0))) / double(one.sizes.size());
        std::printf("\nA screen message is %.1f%% of the %zu bytes of 4-bit pixels (%.1f times smaller).\n",
                    100 * mean / double(kRawPixelBytes), kRawPixelBytes, double(kRawPixelBytes) / mean);
    }

    simulator.stop();
    return 0;
}
