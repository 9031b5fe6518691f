// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "PortResult.h"

#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

namespace korvane {

// How a port is looked at. Times in milliseconds.
struct ProbeSettings {
    // The instrument speaks only when asked. Right after opening, the line is
    // listened to this long; whatever is heard is drained, the port purged,
    // and the line listened to again as long. A device still talking then is
    // not the instrument.
    int listenMs = 200;
    // Bytes heard at first may be the tail of an answer to an earlier
    // request, which ends on its own; a line that has not gone quiet for
    // `quietGapMs` within this time is a device that talks unasked.
    int settleMs = 500;
    int quietGapMs = 50;
    // Longest wait for the first byte of the answer to the request.
    int firstByteMs = 1000;
    // Hard limit of the whole look at one port, whatever the device sends.
    int totalMs = 2000;
    // Bits per second to set before anything is sent; 0 keeps the port's own.
    int baudRate = 0;
};

enum class ProbeVerdict {
    Instrument,  // answered the screen request with more than 10 bytes
    NoDevice,    // nothing of that name
    NotOpened,   // it exists but could not be opened: see `openResult`, `reason`
    Talker,      // sends without being asked: left alone, nothing sent
    NoAnswer,    // asked, and answered with 10 bytes or fewer
    Cancelled,   // the search was stopped
};

// What one port turned out to be.
struct ProbeReport {
    std::string portName;  // COMn
    std::string device;    // what the name led to; empty when nothing
    ProbeVerdict verdict = ProbeVerdict::NoDevice;
    PortResult openResult = PortResult::Ok;
    std::string reason;  // the system's words when it could not be opened
    std::size_t answerBytes = 0;
};

// The search for the instrument: COM9 down to COM2, one screen request
// each, the first port that answers with more than 10 bytes wins.
class PortSearch {
public:
    // Looks at one port (`device`, reported under `portName`).
    static ProbeReport probe(const std::string& portName, const std::string& device, const ProbeSettings& settings,
                             std::stop_token stop = {});

    // Probes COM9..COM2 as named in `workDir` (see PortNames) until one is the
    // instrument; returns every port looked at, the last one deciding.
    static std::vector<ProbeReport> search(const std::string& workDir, const ProbeSettings& settings,
                                           std::stop_token stop = {});

    // Anything longer than this answering a probe is the instrument.
    static constexpr std::size_t kLongestForeignAnswer = 10;
};

}  // namespace korvane
