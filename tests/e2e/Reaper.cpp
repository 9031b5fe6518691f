// Korvane - end-to-end helper: starts a program and reaps it with every
// process it leaves behind.
// SPDX-License-Identifier: MIT
//
// Usage: e2e-reaper REPORT PROGRAM [ARG...]
// korvane starts Pictorix detached (its intermediate child exits at once), so
// Pictorix is no child of the script that started korvane and its exit code
// would be lost to init. This tool makes itself the reaper of its whole
// subtree: it runs PROGRAM, and every process of the subtree that ends (the
// program, and the ones it detached) is reaped here and appended to REPORT as
// one line "PID COMM CODE", CODE being the exit code, or 128 + the signal
// number for a process killed by a signal. It ends when no process of the
// subtree is left, with the exit code of PROGRAM. SIGTERM, SIGINT and SIGHUP
// are passed on to every process it still has, so a test's clean-up that
// ends this tool ends the detached programs too.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readComm(pid_t pid)
{
    std::string comm = "?";
    if (FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/comm").c_str(), "r")) {
        char buf[64] = {};
        if (std::fgets(buf, sizeof buf, f)) {
            comm = buf;
            while (!comm.empty() && (comm.back() == '\n' || comm.back() == ' '))
                comm.pop_back();
            for (char& c : comm)
                if (c == ' ')
                    c = '_'; // the report's fields are separated by spaces
        }
        std::fclose(f);
    }
    return comm;
}

// The processes whose parent is this one: the program, and those of its
// subtree that were orphaned and adopted here.
void signalChildren(int sig)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0)
            continue;
        FILE* f = std::fopen(("/proc/" + std::string(entry->d_name) + "/status").c_str(), "r");
        if (!f)
            continue;
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "PPid:", 5) == 0) {
                std::string parent = line + 5;
                parent.erase(0, parent.find_first_not_of(" \t"));
                parent.erase(parent.find_last_not_of(" \t\n") + 1);
                if (parent == self)
                    ::kill(pid, sig);
                break;
            }
        }
        std::fclose(f);
    }
    ::closedir(proc);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: e2e-reaper REPORT PROGRAM [ARG...]\n");
        return 2;
    }
    const int report = ::open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (report < 0) {
        std::fprintf(stderr, "e2e-reaper: cannot open %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        std::fprintf(stderr, "e2e-reaper: cannot become a subreaper: %s\n", std::strerror(errno));
        return 2;
    }

    // Every event this tool waits for arrives as a signal taken with
    // sigwaitinfo(), so none can slip in between a check and the wait.
    sigset_t events, previous;
    sigemptyset(&events);
    for (int sig : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
        sigaddset(&events, sig);
    sigprocmask(SIG_BLOCK, &events, &previous);

    const pid_t program = ::fork();
    if (program < 0) {
        std::fprintf(stderr, "e2e-reaper: fork: %s\n", std::strerror(errno));
        return 2;
    }
    if (program == 0) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        ::execvp(argv[2], argv + 2);
        std::fprintf(stderr, "e2e-reaper: cannot start %s: %s\n", argv[2], std::strerror(errno));
        ::_exit(127);
    }

    int programCode = 127;
    for (;;) {
        // Reap whatever has ended; the name is read while the process is
        // still a zombie, before it is reaped.
        siginfo_t info{};
        while (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) {
            const pid_t pid = info.si_pid;
            const std::string comm = readComm(pid);
            int status = 0;
            if (::waitpid(pid, &status, 0) != pid)
                break;
            const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (pid == program)
                programCode = code;
            const std::string line = std::to_string(pid) + " " + comm + " " + std::to_string(code) + "\n";
            if (::write(report, line.data(), line.size()) < 0)
                std::fprintf(stderr, "e2e-reaper: cannot write the report: %s\n", std::strerror(errno));
            info = {};
        }
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD)
            break;
        const int sig = sigwaitinfo(&events, nullptr);
        if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP)
            signalChildren(SIGTERM);
    }
    ::close(report);
    return programCode;
}
