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
    std::string standardOutput;  // empty: captured into `out`
    int fileSizeBlocks = 0;      // largest file the program may write, in 512-byte blocks; 0: no limit
};

// Runs `program` with `arguments` in the folder `workDir` and waits for it.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& workDir,
                      const RunOptions& options = {});

std::string fileContents(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// The snapshot the viewer's engine writes after decoding `frame` with the
// header `header` in colour mode `mode`.
std::string engineSnapshot(const zls740sim::Frame& frame, const HeaderBytes& header, std::int32_t mode);

}  // namespace korvane::test
