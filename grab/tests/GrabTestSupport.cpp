// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#include "GrabTestSupport.h"

#include "ScreenImage.h"
#include "SnapshotWriter.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

namespace korvane::test {

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& workDir,
                      const RunOptions& options)
{
    ScratchDir capture;
    const std::string outPath = options.standardOutput.empty() ? capture.file("out") : options.standardOutput;
    // SIGXFSZ ignored, so that a write past a file-size limit fails instead of
    // killing the program; killed after a generous deadline, so that a hang
    // shows as a failure.
    std::string command = "cd " + quoted(workDir) + " && trap '' XFSZ && ";
    if (options.fileSizeBlocks > 0)
        command += "ulimit -f " + std::to_string(options.fileSizeBlocks) + " && ";
    command += "exec timeout -s KILL 60 " + quoted(program);
    for (const std::string& argument : arguments)
        command += " " + quoted(argument);
    command += " </dev/null >" + quoted(outPath) + " 2>" + quoted(capture.file("err"));
    const int status = std::system(command.c_str());
    ProgramRun run;
    if (WIFEXITED(status) && WEXITSTATUS(status) != 137)
        run.exitCode = WEXITSTATUS(status);
    if (options.standardOutput.empty())
        run.out = fileContents(outPath);
    run.err = fileContents(capture.file("err"));
    return run;
}

std::string fileContents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string engineSnapshot(const zls740sim::Frame& frame, const HeaderBytes& header, std::int32_t mode)
{
    ScreenImage image;
    image.loadHeader(header);
    std::copy(frame.begin(), frame.end(), image.frameBuffer().begin());
    image.publishFrame(mode);
    std::ostringstream out;
    image.read([&](const ScreenView& view) { SnapshotWriter::write(out, view); });
    return out.str();
}

}  // namespace korvane::test
