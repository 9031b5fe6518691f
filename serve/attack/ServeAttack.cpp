// Korvane - korvane-serve's attack test.
// SPDX-License-Identifier: MIT
//
// korvane-serve (a process of its own, allowed 1024 descriptors as on a
// usual desktop) on the simulated instrument, against what one machine of
// its network could do, each from 127.0.0.2 and 127.0.0.3 for a bounded
// time, while an onlooker on 127.0.0.1 watches the screen and asks for
// /status.json five times a second:
//   endless heads   2 x 250 connections each sending a head of 50,000 empty
//                   fields (195 KiB), held, reopened when closed
//   idle            2 x 1000 connections sending nothing, reopened as they close
//   mute viewers    2 x 150 WebSocket viewers that never read
//   viewer churn    2 x 50 viewers joining and leaving as fast as they can,
//                   while nothing reads the server's output
// Prints for each the server's memory (RSS) and descriptors before, at the
// peak and after, and the onlooker's delays. Unless --figures, it also
// judges (exit 1 on failure): memory within a bound, every ask answered
// 200 within 5 s and their median under 1 s (the deadline a person notices; the median, so that a
// few late answers on a loaded machine do not fail it), the page still
// watching with at least one screen a second on average, the viewers that
// never read dropped, a line telling of the event lines dropped, and memory
// and descriptors back near their idle figures.
// Usage: korvane-serve-attack [--figures] [--server PATH]
#include "Onlooker.h"
#include "Raiders.h"
#include "ServeChild.h"
#include "Zls740Simulator.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using korvane::attack::Onlooker;
using korvane::attack::Raiders;
using korvane::attack::ServeChild;
using Clock = std::chrono::steady_clock;

struct Attack {
    const char* name;
    Raiders::Kind kind;
    std::size_t perAddress;
    std::chrono::seconds window;
};

constexpr Attack kAttacks[] = {
    {"endless heads", Raiders::Kind::EndlessHeads, 250, std::chrono::seconds(5)},
    {"idle", Raiders::Kind::Idle, 1000, std::chrono::seconds(5)},
    {"mute viewers", Raiders::Kind::MuteViewers, 150, std::chrono::seconds(5)},
    {"viewer churn", Raiders::Kind::ViewerChurn, 50, std::chrono::seconds(5)},
};
constexpr const char* kAttackers[] = {"127.0.0.2", "127.0.0.3"};
// How far above idle memory may rise during an attack (the limits times the
// connections allowed come to a few MiB: a queue of screens per viewer that
// never reads, or a head read without limit, would be hundreds), and how far
// above idle memory and descriptors may stay once it is over.
constexpr long kPeakSlackKiB = 32 * 1024;
constexpr long kMemorySlackKiB = 8 * 1024;
constexpr long kDescriptorSlack = 2;
// Generous deadlines for a loaded machine: the server settling, viewers dropped.
constexpr std::chrono::seconds kSettleTime{20};
constexpr std::chrono::seconds kDropTime{40};

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string word; status >> word;)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

long descriptors(pid_t pid)
{
    std::error_code ec;
    const fs::directory_iterator listing("/proc/" + std::to_string(pid) + "/fd", ec);
    return ec ? 0 : long(std::distance(listing, fs::directory_iterator()));
}

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit)
{
    for (const auto end = Clock::now() + limit; !condition();) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// The "viewers" of the onlooker's latest /status.json; -1 before one.
long viewersNow(const Onlooker& onlooker)
{
    const std::string state = onlooker.lastState();
    const std::size_t at = state.find("\"viewers\":");
    return at == std::string::npos ? -1 : std::atol(state.c_str() + at + 10);
}

struct Verdicts {
    bool judging;
    int failures = 0;
    void expect(bool holds, const std::string& what)
    {
        if (holds || !judging)
            return;
        std::printf("FAILED: %s\n", what.c_str());
        ++failures;
    }
};

void runAttack(const Attack& attack, ServeChild& serve, unsigned short port, Onlooker& onlooker, long idleKiB,
               long idleFds, Verdicts& verdicts)
{
    const pid_t pid = serve.pid();
    const bool stallOutput = attack.kind == Raiders::Kind::ViewerChurn;
    if (stallOutput)
        serve.readOutput(false);
    std::atomic<long> peakKiB{residentKiB(pid)};
    std::atomic<long> peakFds{descriptors(pid)};
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            peakKiB = std::max(peakKiB.load(), residentKiB(pid));
            peakFds = std::max(peakFds.load(), descriptors(pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto start = Clock::now();
    double dropSeconds = -1;
    {
        std::vector<std::unique_ptr<Raiders>> crowd;
        for (const char* from : kAttackers)
            crowd.push_back(std::make_unique<Raiders>(attack.kind, attack.perAddress, from, port));
        std::this_thread::sleep_for(attack.window);
        if (attack.kind == Raiders::Kind::MuteViewers) {
            // Held until the server has dropped them all: the onlooker's page is left.
            if (waitFor([&] { return viewersNow(onlooker) == 1; }, kDropTime))
                dropSeconds = std::chrono::duration<double>(Clock::now() - start).count();
            verdicts.expect(dropSeconds > 0, "viewers that never read were not dropped");
        }
    }
    const auto end = Clock::now();
    const auto asks = onlooker.asksSince(start);
    const auto screens = onlooker.screensSince(start);
    if (stallOutput) {
        serve.readOutput(true);
        verdicts.expect(waitFor([&] { return serve.linesWith("dropped: the output took none") > 0; }, kSettleTime),
                        "no line told of the event lines dropped");
    }
    const bool fdsBack = waitFor([&] { return descriptors(pid) <= idleFds + kDescriptorSlack; }, kSettleTime);
    const bool memoryBack = waitFor([&] { return residentKiB(pid) <= idleKiB + kMemorySlackKiB; }, kSettleTime);
    sampling = false;
    sampler.join();

    std::vector<double> ms;
    std::size_t unanswered = 0;
    for (const auto& ask : asks) {
        ms.push_back(ask.ms);
        unanswered += ask.status == 200 ? 0 : 1;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double share) { return ms.empty() ? 0.0 : ms[std::size_t(share * double(ms.size() - 1))]; };
    const double seconds = std::chrono::duration<double>(end - start).count();
    std::printf("%-14s %8.1f %8.1f %8.1f %6ld %6ld %6ld %5zu %5zu %8.1f %8.1f %8.1f %7.1f", attack.name,
                double(idleKiB) / 1024, double(peakKiB) / 1024, double(residentKiB(pid)) / 1024, idleFds,
                peakFds.load(), descriptors(pid), asks.size(), unanswered, at(0.5), at(0.95),
                ms.empty() ? 0 : ms.back(), double(screens.size()) / seconds);
    std::printf(dropSeconds > 0 ? "   dropped after %.1f s\n" : "\n", dropSeconds);

    verdicts.expect(!asks.empty() && unanswered == 0, std::string(attack.name) + ": asks left unanswered");
    verdicts.expect(at(0.5) < 1000, std::string(attack.name) + ": the median answer took a second or more");
    verdicts.expect(onlooker.watching() && double(screens.size()) >= seconds,
                    std::string(attack.name) + ": the onlooker's page got under a screen a second");
    verdicts.expect(peakKiB <= idleKiB + kPeakSlackKiB, std::string(attack.name) + ": memory grew without bound");
    verdicts.expect(fdsBack, std::string(attack.name) + ": descriptors not back near idle");
    verdicts.expect(memoryBack, std::string(attack.name) + ": memory not back near idle");
}

int fail(const std::string& why)
{
    std::fprintf(stderr, "korvane-serve-attack: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool figures = false;
    std::string server = (fs::read_symlink("/proc/self/exe").parent_path() / "korvane-serve").string();
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--figures")
            figures = true;
        else if (word == "--server" && i + 1 < argc)
            server = fs::absolute(argv[++i]).string();
        else
            return fail("usage: korvane-serve-attack [--figures] [--server PATH]");
    }

    std::string folderTemplate = (fs::temp_directory_path() / "korvane-serve-attack.XXXXXX").string();
    if (!::mkdtemp(folderTemplate.data()))
        return fail("cannot make a scratch folder");
    const std::string folder = folderTemplate;
    zls740sim::SimulatorOptions options;
    options.linkDir = folder;
    options.comNumber = 5;
    options.bytesPerSecond = 983040;  // the instrument's own pace, 24 screens a second
    zls740sim::Zls740Simulator simulator(options);
    std::string error;
    if (!simulator.start(&error))
        return fail("simulator: " + error);

    ServeChild serve;
    if (!serve.start(server, folder, {"--listen", "127.0.0.1:0", "--port", "COM5"}, &error, 1024))
        return fail(error);
    const std::string address = serve.waitForLine(" in a browser", std::chrono::seconds(30));
    const std::size_t portAt = address.find("127.0.0.1:");
    if (portAt == std::string::npos || serve.waitForLine("instrument found", std::chrono::seconds(30)).empty())
        return fail("korvane-serve did not start serving the instrument");
    const auto port = static_cast<unsigned short>(std::atoi(address.c_str() + portAt + 10));
    // The attackers' thousands of sockets (the server keeps its own 1024).
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);

    Onlooker onlooker(port);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    Verdicts verdicts{!figures};
    std::printf("korvane-serve under attack from 127.0.0.2 and 127.0.0.3; onlooker on 127.0.0.1\n\n"
                "attack          RSS MiB: idle     peak    after   fds: idle  peak after  asks  lost"
                "  ask ms: p50      p95      max  screens/s\n");
    for (const Attack& attack : kAttacks) {
        const long idleKiB = residentKiB(serve.pid());
        const long idleFds = descriptors(serve.pid());
        runAttack(attack, serve, port, onlooker, idleKiB, idleFds, verdicts);
        std::fflush(stdout);
    }
    serve.stop();
    simulator.stop();
    fs::remove_all(folder);
    if (verdicts.failures > 0)
        return 1;
    std::printf("\n%s\n", figures ? "figures only: nothing judged" : "passed");
    return 0;
}
