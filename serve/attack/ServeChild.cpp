// Korvane - korvane-serve's benchmark and attack test.
// SPDX-License-Identifier: MIT
#include "ServeChild.h"

#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::attack {

ServeChild::~ServeChild()
{
    stop();
}

bool ServeChild::start(const std::string& program, const std::string& folder, const std::vector<std::string>& arguments,
                       std::string* error, unsigned descriptors)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid_ == 0) {
        // The server ends with the benchmark, however that ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(127);
        if (descriptors > 0) {
            const rlimit limit{descriptors, descriptors};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    output_ = pipeFds[0];
    reader_ = std::thread([this] { collect(); });
    return true;
}

void ServeChild::collect()
{
    std::string pending;
    char buffer[4096];
    while (true) {
        {
            std::unique_lock lock(mutex_);
            readingChanged_.wait(lock, [this] { return reading_; });
        }
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            std::lock_guard lock(mutex_);
            lines_.push_back(pending.substr(0, end));
        }
    }
}

std::string ServeChild::waitForLine(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        {
            std::lock_guard lock(mutex_);
            for (const auto& line : lines_)
                if (line.find(text) != std::string::npos)
                    return line;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

void ServeChild::readOutput(bool reading)
{
    std::lock_guard lock(mutex_);
    reading_ = reading;
    readingChanged_.notify_all();
}

std::size_t ServeChild::linesWith(const std::string& text) const
{
    std::lock_guard lock(mutex_);
    return std::size_t(std::count_if(lines_.begin(), lines_.end(),
                                     [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

double ServeChild::processorSeconds() const
{
    return test::processorSeconds(pid_);
}

void ServeChild::stop()
{
    readOutput(true);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (reader_.joinable())
        reader_.join();
    if (output_ >= 0) {
        ::close(output_);
        output_ = -1;
    }
}

}  // namespace korvane::attack
