// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// The zls740-sim program as scripts use it, and its command line.
#include "SimulatorCommandLine.h"
#include "TemporaryDirectory.h"
#include "ViewerPort.h"
#include "Zls740Simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace zls740sim;
using namespace zls740sim::test;

namespace {

constexpr int kDeadlineMs = 10000;

// The program with its standard output on a pipe.
class RunningProgram {
public:
    explicit RunningProgram(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), ZLS740_SIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = ::fdopen(out[0], "r");
    }
    ~RunningProgram()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_)
            std::fclose(output_);
    }

    std::string readLine()
    {
        char line[512];
        return output_ && std::fgets(line, sizeof line, output_) ? std::string(line) : std::string();
    }
    // Sends `signal` and returns the exit status (-1 unless it exited).
    int stop(int signal)
    {
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    std::FILE* output_ = nullptr;
};

}  // namespace

TEST(SimulatorProgram, WritesADrawnFrame)
{
    TemporaryDirectory dir;
    RunningProgram program({"--write-frame", dir.file("frame.bin"), "--index", "12"});
    EXPECT_EQ(program.wait(), 0);
    const Frame frame = drawFrame(12);
    EXPECT_EQ(readFile(dir.file("frame.bin")), std::vector<std::uint8_t>(frame.begin(), frame.end()));
}

TEST(SimulatorProgram, ServesUntilTerminatedAndCleansUp)
{
    TemporaryDirectory dir;
    for (const int signal : {SIGTERM, SIGINT}) {
        RunningProgram program({"--dir", dir.path(), "--com", "6", "--answer-bytes", "40961", "--report",
                                dir.file("report.txt")});
        const std::string line = program.readLine();
        const std::string link = dir.file("COM6");
        ASSERT_EQ(line.rfind("zls740-sim: listening on " + link + " -> /dev/pts/", 0), 0u) << line;
        ViewerPort port(link);
        ASSERT_TRUE(port.isOpen());
        ASSERT_EQ(port.sendRequest(), 4);
        EXPECT_EQ(port.receive(40961, kDeadlineMs).size(), 40961u);
        EXPECT_TRUE(waitUntil([&] {
            const std::string report = readText(dir.file("report.txt"));
            return report.find("requests 1\n") != std::string::npos && report.find("frames 1\n") != std::string::npos;
        }));
        EXPECT_EQ(program.stop(signal), 0);
        EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
    }
}

TEST(SimulatorProgram, RejectsABadCommandLine)
{
    RunningProgram program({"--answer-bytes", "lots"});
    EXPECT_EQ(program.wait(), 2);
}

TEST(SimulatorCommandLine, SetsEveryOption)
{
    SimulatorCommandLine line;
    std::string error;
    ASSERT_TRUE(SimulatorCommandLine::parse({"--dir", "/tmp/x", "--com", "9", "--answer-bytes", "40959", "--silent",
                                             "--stall-after", "100", "--rate=5000.5", "--close-after", "3",
                                             "--reopen-after", "250", "--replay", "r.bin", "--last-frame", "l.bin",
                                             "--report", "rep.txt"},
                                            line, &error))
        << error;
    const SimulatorOptions& o = line.options;
    EXPECT_EQ(o.linkDir, "/tmp/x");
    EXPECT_EQ(o.comNumber, 9);
    EXPECT_EQ(o.answerBytes, 40959u);
    EXPECT_TRUE(o.silent);
    EXPECT_EQ(o.stallAfterBytes, 100u);
    EXPECT_DOUBLE_EQ(o.bytesPerSecond, 5000.5);
    EXPECT_EQ(o.closeAfterFrames, 3);
    EXPECT_EQ(o.reopenAfterMs, 250);
    EXPECT_EQ(o.replayFile, "r.bin");
    EXPECT_EQ(o.lastFrameFile, "l.bin");
    EXPECT_EQ(o.reportFile, "rep.txt");
    EXPECT_FALSE(line.help);
    EXPECT_TRUE(line.writeFrameFile.empty());
}

TEST(SimulatorCommandLine, RefusesWhatItCannotUse)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--answer-bytes", "12x"}, {"--answer-bytes", "-1"}, {"--rate", "-5"},  {"--rate", "fast"},
        {"--com"},                 {"--close-after", "-2"},  {"--frobnicate"}, {"--silent=yes"},
        {"--dir", ""},             {"--index", "1.5"},
    };
    for (const auto& arguments : bad) {
        SimulatorCommandLine line;
        line.options.comNumber = 42;
        std::string error;
        EXPECT_FALSE(SimulatorCommandLine::parse(arguments, line, &error)) << arguments[0];
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(line.options.comNumber, 42) << "the result is untouched on failure";
    }
}
