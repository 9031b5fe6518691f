// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "PortSearch.h"

#include "PortNames.h"
#include "ScreenGeometry.h"
#include "SerialPort.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// A request must be written within 100 ms a byte plus 100 ms.
constexpr int kWriteLimitMs = 100 * 4 + 100;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

enum class Line { Quiet, Heard, Talking, Failed, Interrupted };

// Listens for `listenMs`; bytes heard are drained until the line has been
// quiet for the gap time, at most until `settleBy`.
Line listen(SerialPort& port, const ProbeSettings& settings, Clock::time_point settleBy)
{
    std::array<std::uint8_t, 4096> scratch;
    std::size_t got = 0;
    PortResult result =
        port.read(scratch.data(), scratch.size(), got, ReadLimits{settings.listenMs, 0, settings.listenMs});
    if (result == PortResult::Interrupted)
        return Line::Interrupted;
    if (got == 0)
        return result == PortResult::TimedOut ? Line::Quiet : Line::Failed;
    for (;;) {
        const int left = msLeft(settleBy);
        if (left == 0)
            return Line::Talking;
        result = port.read(scratch.data(), scratch.size(), got,
                           ReadLimits{std::min(settings.quietGapMs, left), 0, std::min(settings.quietGapMs, left)});
        if (result == PortResult::Interrupted)
            return Line::Interrupted;
        if (result == PortResult::TimedOut)
            return Line::Heard;
        if (result != PortResult::Ok)
            return Line::Failed;
    }
}

}  // namespace

ProbeReport PortSearch::probe(const std::string& portName, const std::string& device, const ProbeSettings& settings,
                              std::stop_token stop)
{
    ProbeReport report;
    report.portName = portName;
    report.device = device;
    if (device.empty())
        return report;

    const auto start = Clock::now();
    const auto giveUp = start + std::chrono::milliseconds(settings.totalMs);
    SerialPort port;
    report.openResult = port.open(device);
    if (report.openResult != PortResult::Ok) {
        report.verdict = PortNames::exists(device) ? ProbeVerdict::NotOpened : ProbeVerdict::NoDevice;
        report.reason =
            report.openResult == PortResult::Busy ? std::string("another program holds it") : port.errorText();
        return report;
    }
    std::stop_callback wake(stop, [&port] { port.interrupt(); });
    // A port that turns out not to be the instrument is left as it was found.
    auto passOver = [&](ProbeVerdict verdict) {
        report.verdict = stop.stop_requested() ? ProbeVerdict::Cancelled : verdict;
        port.restoreSettings();
        port.close();
        return report;
    };
    if (settings.baudRate > 0)
        port.setBaudRate(settings.baudRate);
    port.purgeReceive();
    port.purgeTransmit();

    const auto settleBy = std::min(giveUp, Clock::now() + std::chrono::milliseconds(settings.settleMs));
    switch (listen(port, settings, settleBy)) {
    case Line::Interrupted: return passOver(ProbeVerdict::Cancelled);
    case Line::Talking: return passOver(ProbeVerdict::Talker);
    case Line::Failed: return passOver(ProbeVerdict::NoAnswer);
    case Line::Heard:
        // The tail of an old answer has ended; a device talking on its own
        // goes on after the purge.
        port.purgeReceive();
        if (listen(port, settings, giveUp) != Line::Quiet)
            return passOver(ProbeVerdict::Talker);
        break;
    case Line::Quiet: break;
    }

    std::size_t written = 0;
    if (port.write(screenRequest, sizeof screenRequest, written, std::min(kWriteLimitMs, msLeft(giveUp)))
        == PortResult::Interrupted)
        return passOver(ProbeVerdict::Cancelled);
    std::vector<std::uint8_t> answer(kFrameBytes);
    const int left = msLeft(giveUp);
    const PortResult answered = port.read(answer.data(), answer.size(), report.answerBytes,
                                          ReadLimits{std::min(settings.firstByteMs, left), 50, std::max(left, 1)});
    if (answered == PortResult::Interrupted)
        return passOver(ProbeVerdict::Cancelled);
    if (report.answerBytes <= kLongestForeignAnswer)
        return passOver(ProbeVerdict::NoAnswer);
    report.verdict = ProbeVerdict::Instrument;
    port.close();
    return report;
}

std::vector<ProbeReport> PortSearch::search(const std::string& workDir, const ProbeSettings& settings,
                                            std::stop_token stop)
{
    std::vector<ProbeReport> reports;
    for (int n = 9; n >= 2 && !stop.stop_requested(); --n) {
        const std::string name = "COM" + std::to_string(n);
        reports.push_back(probe(name, PortNames::resolve(workDir, name), settings, stop));
        const ProbeVerdict verdict = reports.back().verdict;
        if (verdict == ProbeVerdict::Instrument || verdict == ProbeVerdict::Cancelled)
            break;
    }
    return reports;
}

}  // namespace korvane
