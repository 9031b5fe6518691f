// Korvane - screen acquisition engine: starting programs on POSIX systems.
// SPDX-License-Identifier: MIT
#include "ProcessLauncher.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane {

namespace {

// Sent by the intermediate child once the program's process exists.
constexpr std::uint8_t kForked = 0x46;

}  // namespace

bool ProcessLauncher::isExecutable(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string ProcessLauncher::programFileName(const std::string& name)
{
    return name;
}

bool ProcessLauncher::startDetached(const std::string& program, const std::string& workingDir)
{
    if (!isExecutable(program))
        return false;

    // The children report through this pipe: the intermediate child one byte
    // once the grandchild exists (or the errno of a failed fork), the
    // grandchild the errno of a failed chdir or exec. A successful exec
    // closes it (close-on-exec) with nothing more written. The start is
    // judged by the pipe alone: waitpid() cannot be relied on (with SIGCHLD
    // ignored the child is reaped unseen and waitpid() fails).
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;

    // Everything the children use is prepared before fork: between fork and
    // exec only async-signal-safe calls are made.
    const char* path = program.c_str();
    const char* dir = workingDir.c_str();
    char* const argv[] = {const_cast<char*>(path), nullptr};

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The intermediate child exits at once, so the program is adopted by
        // init and this process never has to reap it.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            const int err = grandchild < 0 ? errno : 0;
            const std::uint8_t forked = kForked;
            [[maybe_unused]] ssize_t n =
                grandchild < 0 ? ::write(report[1], &err, sizeof err) : ::write(report[1], &forked, sizeof forked);
            ::_exit(grandchild < 0 ? 1 : 0);
        }
        // The image tool gets standard input, output and error and nothing
        // else of ours, whatever a library left open without close-on-exec.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        int err = 0;
        if (::chdir(dir) != 0)
            err = errno;
        else {
            ::execv(path, argv);
            err = errno;
        }
        [[maybe_unused]] const ssize_t n = ::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
    // Read to the end: the marker byte, then nothing (started) or an errno.
    std::uint8_t bytes[1 + sizeof(int)];
    std::size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(report[0], bytes + got, sizeof bytes - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            if (got == sizeof bytes)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    ::close(report[0]);
    return got == 1 && bytes[0] == kForked;
}

}  // namespace korvane
