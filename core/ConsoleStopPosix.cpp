// Korvane - shared by the programs: stop requests on POSIX systems.
// SPDX-License-Identifier: MIT
#include "ConsoleStop.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace korvane {

namespace {

constexpr char kStop = 's';
constexpr char kEnd = 'e';

// The write end of the living object's pipe: a signal handler may do
// little more than write to it.
volatile int stopPipe = -1;

void noteStop(int)
{
    const int savedErrno = errno;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe, &kStop, 1);
    errno = savedErrno;
}

}  // namespace

struct ConsoleStop::Impl {
    int pipe[2] = {-1, -1};
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
    struct sigaction previousBrokenPipe {};
    std::thread waiter;
};

ConsoleStop::ConsoleStop(std::function<void()> onStop)
    : impl_(std::make_unique<Impl>())
{
    if (::pipe2(impl_->pipe, O_CLOEXEC) != 0)
        return;
    stopPipe = impl_->pipe[1];
    impl_->waiter = std::thread([read = impl_->pipe[0], onStop = std::move(onStop)] {
        bool stopped = false;
        for (;;) {
            char byte = 0;
            const ssize_t n = ::read(read, &byte, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || byte == kEnd)
                return;
            if (!stopped) {
                stopped = true;
                onStop();
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &impl_->previousInterrupt);
    ::sigaction(SIGTERM, &action, &impl_->previousTerminate);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &impl_->previousBrokenPipe);
}

ConsoleStop::~ConsoleStop()
{
    if (!impl_->waiter.joinable())
        return;
    ::sigaction(SIGINT, &impl_->previousInterrupt, nullptr);
    ::sigaction(SIGTERM, &impl_->previousTerminate, nullptr);
    ::sigaction(SIGPIPE, &impl_->previousBrokenPipe, nullptr);
    [[maybe_unused]] const ssize_t n = ::write(impl_->pipe[1], &kEnd, 1);
    impl_->waiter.join();
    stopPipe = -1;
    ::close(impl_->pipe[0]);
    ::close(impl_->pipe[1]);
}

}  // namespace korvane
