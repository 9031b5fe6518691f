// Korvane - test support.
// SPDX-License-Identifier: MIT
#pragma once

#include "CommonTestSupport.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace korvane::test {

struct RunOptions {
    std::string standardOutput;      // a file; empty: one of the process's own, read by output()
    std::uintmax_t largestFile = 0;  // bytes the program may write to a file; 0: no limit
};

// A program run as a process of its own in a folder, with nothing on its
// standard input and its output and errors kept in files. It ends with the
// process that started it, and is killed and waited for when destroyed.
class ChildProcess {
public:
    // Throws std::runtime_error when there is no process to start it in.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments, const std::string& workDir,
                 const RunOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits up to `deadline` for the program to end. Its exit code; -1 when
    // it did not end in time or ended by a signal (127: it could not be run).
    int wait(std::chrono::milliseconds deadline);

    std::string output() const { return fileContents(outPath_); }
    std::string errors() const { return fileContents(files_.file("err")); }

private:
    ScratchDir files_;
    std::string outPath_;
    pid_t pid_ = -1;
};

struct ProgramRun {
    int exitCode = -1;
    std::string out;  // empty when standard output went to RunOptions::standardOutput
    std::string err;
};

// Runs `program` to its end, killed after a minute so that a hang shows as a failure.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& workDir,
                      const RunOptions& options = {});

// User and system time process `pid` has taken so far, in seconds; 0 when
// it cannot be read.
double processorSeconds(pid_t pid);

// Red, green, blue of each pixel of an image file, top row first, as
// ImageMagick decodes it apart from our own code; empty when it cannot.
std::vector<std::uint8_t> imageMagickPixels(const std::string& imageFile);

}  // namespace korvane::test
