// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// The zls740-sim program as scripts use it.
#include "SimulatorTest.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace zls740sim;
using namespace zls740sim::test;

namespace {

// The program running with `arguments`; killed if the test ends early.
class RunningProgram {
public:
    explicit RunningProgram(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), ZLS740_SIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
    }
    ~RunningProgram()
    {
        if (pid_ > 0)
            exitStatus(SIGKILL);
    }
    // Sends `signal` (none: 0) and returns the exit status (-1 unless it exited).
    int exitStatus(int signal = 0)
    {
        if (signal)
            ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

}  // namespace

using SimulatorProgramTest = SimulatorTest;

TEST_F(SimulatorProgramTest, WritesAFrameAndServesUntilTerminated)
{
    EXPECT_EQ(RunningProgram({"--write-frame", file("frame.bin"), "--index", "12"}).exitStatus(), 0);
    const Frame frame = drawFrame(12);
    EXPECT_EQ(readFile(file("frame.bin")), std::string(frame.begin(), frame.end()));

    const std::string link = file("COM6");
    RunningProgram program({"--dir", dir, "--com", "6"});
    ASSERT_TRUE(waitUntil([&] { return linkExists(link); }));
    ViewerPort port(link);
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.sendRequest(), 4);
    EXPECT_EQ(port.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);
    EXPECT_EQ(program.exitStatus(SIGTERM), 0);
    EXPECT_FALSE(linkExists(link));
}
