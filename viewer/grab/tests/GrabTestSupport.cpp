// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
#include "GrabTestSupport.h"

#include "ScreenImage.h"
#include "SnapshotWriter.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace korvane::test {

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workDir, const RunOptions& options)
{
    ScratchDir capture;
    const std::string outPath = options.standardOutput.empty() ? capture.file("out") : options.standardOutput;
    const std::string errPath = capture.file("err");

    // A file-size limit goes through the shell, which also makes the program
    // ignore SIGXFSZ so that an oversized write fails instead of killing it.
    std::vector<std::string> command;
    if (options.fileSizeBlocks > 0)
        command = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f " + std::to_string(options.fileSizeBlocks)
                                        + "; exec \"$0\" \"$@\"", program};
    else
        command = {program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : command)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + program);

    ProgramRun run;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    if (options.standardOutput.empty())
        run.out = fileContents(outPath);
    run.err = fileContents(errPath);
    return run;
}

ProgramRun runGrab(const std::vector<std::string>& arguments, const std::string& workDir, const RunOptions& options)
{
    return runProgram(KORVANE_GRAB_PROGRAM, arguments, workDir, options);
}

std::string grabProgramDir()
{
    return std::filesystem::path(KORVANE_GRAB_PROGRAM).parent_path().string();
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

std::vector<std::uint8_t> snapshotPixels(const std::string& snapshot)
{
    const auto* file = reinterpret_cast<const std::uint8_t*>(snapshot.data());
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < 240; ++y) {
        const std::uint8_t* row = file + 118 + 160 * (239 - y);  // stored bottom-up
        for (int x = 0; x < 320; ++x) {
            const int index = x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
            const std::uint8_t* entry = file + 54 + 4 * index;  // blue, green, red, reserved
            rgb.insert(rgb.end(), {entry[2], entry[1], entry[0]});
        }
    }
    return rgb;
}

std::vector<std::uint8_t> decodedPixels(const std::string& imageFile)
{
    ScratchDir scratch;
    const ProgramRun run = runProgram("/usr/bin/convert", {imageFile, "-depth", "8", "rgb:-"}, scratch.path().string());
    if (run.exitCode != 0)
        return {};
    return std::vector<std::uint8_t>(run.out.begin(), run.out.end());
}

}  // namespace korvane::test
