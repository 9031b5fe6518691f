// Korvane - screen acquisition engine: starting programs on POSIX systems.
// SPDX-License-Identifier: MIT
#include "ProcessLauncher.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane {

bool ProcessLauncher::isExecutable(const std::string& path)
{
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool ProcessLauncher::startDetached(const std::string& program, const std::string& workingDir)
{
    if (!isExecutable(program))
        return false;

    // The grandchild reports a failed chdir or exec through this pipe; a
    // successful exec closes it (close-on-exec) with nothing written.
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
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
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
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    const bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return forked && n == 0;
}

}  // namespace korvane
