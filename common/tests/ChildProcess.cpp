// Korvane - test support.
// SPDX-License-Identifier: MIT
#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& workDir, const RunOptions& options)
    : outPath_(options.standardOutput.empty() ? files_.file("out") : options.standardOutput)
{
    // Everything the child needs is made before the fork: after it, a child
    // of a process with other threads may only make system calls.
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string errPath = files_.file("err");
    const rlimit largestFile{rlim_t(options.largestFile), rlim_t(options.largestFile)};
    const pid_t parent = ::getpid();

    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ > 0)
        return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    // A write past the file-size limit then fails, as on a full disk,
    // instead of killing the program.
    ::signal(SIGXFSZ, SIG_IGN);
    if (options.largestFile > 0)
        ::setrlimit(RLIMIT_FSIZE, &largestFile);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in >= 0 && out >= 0 && err >= 0 && ::dup2(in, STDIN_FILENO) >= 0 && ::dup2(out, STDOUT_FILENO) >= 0
        && ::dup2(err, STDERR_FILENO) >= 0 && ::chdir(workDir.c_str()) == 0)
        ::execv(argv[0], argv.data());
    ::_exit(127);
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

int ChildProcess::wait(std::chrono::milliseconds deadline)
{
    int status = 0;
    if (!waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, deadline))
        return -1;  // killed when destroyed
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& workDir,
                      const RunOptions& options)
{
    ChildProcess child(program, arguments, workDir, options);
    ProgramRun run;
    run.exitCode = child.wait(std::chrono::minutes(1));
    if (options.standardOutput.empty())
        run.out = child.output();
    run.err = child.errors();
    return run;
}

std::vector<std::uint8_t> imageMagickPixels(const std::string& imageFile)
{
    ScratchDir scratch;
    const ProgramRun run = runProgram("/usr/bin/convert", {imageFile, "-depth", "8", "rgb:-"}, scratch.path().string());
    if (run.exitCode != 0)
        return {};
    return {run.out.begin(), run.out.end()};
}

double processorSeconds(pid_t pid)
{
    const std::string stat = fileContents("/proc/" + std::to_string(pid) + "/stat");
    // Fields after the command name, which is in parentheses and may hold
    // spaces: state is field 3, utime 14 and stime 15.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14)
            utime = std::stoull(field);
        if (number == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

}  // namespace korvane::test
