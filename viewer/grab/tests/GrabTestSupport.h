// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "HeaderTemplate.h"
#include "TestSupport.h"
#include "Zls740Simulator.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane::test {

struct ProgramRun {
    int exitCode = -1;  // -1: killed, or never ended within the deadline
    std::string out;
    std::string err;
};

struct RunOptions {
    // Where the program's standard output goes; empty: captured into `out`.
    std::string standardOutput;
    // Largest file the program may write, in 512-byte blocks; 0: no limit.
    int fileSizeBlocks = 0;
};

// Runs `program` with `arguments` in the folder `workDir` and waits for it
// (killed after a generous deadline, so a hang shows as a failure).
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workDir, const RunOptions& options = {});

// korvane-grab itself.
ProgramRun runGrab(const std::vector<std::string>& arguments, const std::string& workDir,
                   const RunOptions& options = {});
std::string grabProgramDir();

// The whole file, for comparing with what a program wrote to its output.
std::string fileContents(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// The snapshot the viewer's engine writes after decoding `frame` with the
// header `header` in colour mode `mode`.
std::string engineSnapshot(const zls740sim::Frame& frame, const HeaderBytes& header, std::int32_t mode);

// Red, green, blue of each pixel, top row first: of a snapshot as a reader
// of BMP files sees it, and of any image file as ImageMagick decodes it.
std::vector<std::uint8_t> snapshotPixels(const std::string& snapshot);
std::vector<std::uint8_t> decodedPixels(const std::string& imageFile);

}  // namespace korvane::test
