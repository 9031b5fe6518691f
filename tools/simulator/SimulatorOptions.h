// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>

namespace zls740sim {

// What the simulated instrument does; every field has a command-line option
// in the zls740-sim program (see --help there).
struct SimulatorOptions {
    // The pseudo-terminal's slave is linked as `linkDir`/COM`comNumber`.
    std::string linkDir = ".";
    int comNumber = 5;

    // Bytes sent for each 4-byte request 57 00 00 0A. 40960 is a whole frame;
    // fewer is a short answer (40959, or 10 for a device that is not the
    // instrument), more appends `answerBytes - 40960` trailing bytes.
    std::size_t answerBytes = 40960;
    // With trailing bytes: send them this many milliseconds after the frame,
    // so that they arrive after a viewer has taken the frame. Zero: at once.
    int trailingAfterMs = 0;
    // Never answer (requests are still counted).
    bool silent = false;
    // Send a short text line this many times a second without being asked,
    // as a board printing readings does (with `silent`: a device that is not
    // the instrument). Zero: off.
    double chatterPerSecond = 0;
    // Send only this many bytes of an answer, then stop sending for good
    // (requests are still counted). Zero: off.
    std::size_t stallAfterBytes = 0;
    // Pace answers at this many bytes per second. Zero: as fast as the link takes them.
    double bytesPerSecond = 0;
    // With answerBytes or bytesPerSecond: only every Nth answer (the Nth,
    // 2Nth, ...) is short, overlong or paced; the others are whole frames sent
    // as fast as the link takes them, so the faults come between good screens.
    // Zero or one: every answer.
    int faultEvery = 0;
    // After this many complete answers, close the link (the instrument vanishes):
    // the master side is closed and the link removed. Zero: never.
    int closeAfterFrames = 0;
    // With closeAfterFrames: after this many milliseconds, come back on a new
    // pseudo-terminal under the same link name. Negative: stay away.
    int reopenAfterMs = -1;
    // Frames to send instead of drawn ones: a file of one or more 40960-byte
    // frames in the instrument's column layout, sent in turn and repeated.
    std::string replayFile;
    // After each answer, the frame just sent (40960 bytes) is written here,
    // replacing the file atomically. Empty: off.
    std::string lastFrameFile;
    // After each request, a text report replaces this file atomically. Empty: off.
    std::string reportFile;
};

}  // namespace zls740sim
