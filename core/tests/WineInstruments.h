// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::test {

// Whether this program runs under wine, where some of Windows' behaviour
// cannot be shown (each test says what, and checks what wine does instead).
bool underWine();

// The stand-in image tool (ToolReportWindows.cpp) started in `folder`: what
// it reports, and its end, each waited for as long as a program of wine's
// may take on a busy machine (the report is empty if it never comes).
std::string awaitToolReport(const std::string& folder);
bool endTool(const std::string& folder);

// A simulated instrument of the machine that runs wine, seen by this
// program as a COM port.
class WineInstrument {
public:
    WineInstrument(int com, std::string folder);
    // The port's device name, \\.\COMn.
    std::string port() const;
    std::uint64_t requestCount() const;
    std::uint64_t framesSent() const;
    // Wait with a generous deadline; true once it holds.
    bool waitForRequests(std::uint64_t count) const;
    bool waitForFrames(std::uint64_t count) const;
    // The screen it sent last.
    std::vector<std::uint8_t> lastFrame() const;

private:
    std::uint64_t reported(const std::string& what) const;

    int com_;
    std::string folder_;
};

// Instruments started and ended on request by tests/wine/instruments.py,
// which runs the test program; those still running at the end are stopped.
// Each throws when the request cannot be met.
class WineInstruments {
public:
    WineInstruments() = default;
    ~WineInstruments();
    WineInstruments(const WineInstruments&) = delete;
    WineInstruments& operator=(const WineInstruments&) = delete;

    // `options` are zls740-sim's, such as "--silent --chatter 333".
    WineInstrument start(int com, const std::string& options = {});
    // The instrument ends in good order, or is gone at once (killed, its
    // line hung up).
    void stop(int com);
    void vanish(int com);

private:
    std::string ask(const std::string& request);
    void end(const char* how, int com);

    std::vector<int> running_;
};

}  // namespace korvane::test
