// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "PseudoTerminal.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zls740sim {

namespace {

std::string errnoText(const std::string& what, int err)
{
    return what + ": " + std::strerror(err);
}

// Points `linkPath` at `target` in one step, so the viewer never finds the
// name missing or half made while an older link is being replaced.
bool replaceLink(const std::string& target, const std::string& linkPath, std::string* error)
{
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        linkPath + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        if (error)
            *error = errnoText("cannot create the link " + temporary, errno);
        return false;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        if (error)
            *error = errnoText("cannot create the link " + linkPath, err);
        return false;
    }
    return true;
}

}  // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(const std::string& linkPath, std::string* error)
{
    close();
    auto fail = [&](const std::string& what, int err) {
        if (error)
            *error = errnoText(what, err);
        close();
        return false;
    };

    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd_ < 0)
        return fail("cannot create a pseudo-terminal", errno);
    if (::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0)
        return fail("cannot unlock the pseudo-terminal", errno);
    char name[PATH_MAX];
    if (const int err = ::ptsname_r(masterFd_, name, sizeof name); err != 0)
        return fail("cannot name the pseudo-terminal", err);
    slavePath_ = name;

    keptSlaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keptSlaveFd_ < 0)
        return fail("cannot open " + slavePath_, errno);

    // Answers are written with poll(POLLOUT), so that a viewer that stops
    // reading never blocks the serving thread.
    const int flags = ::fcntl(masterFd_, F_GETFL);
    if (flags < 0 || ::fcntl(masterFd_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("cannot make the pseudo-terminal non-blocking", errno);

    if (!replaceLink(slavePath_, linkPath, error)) {
        close();
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

bool PseudoTerminal::serveDevice(const std::string& devicePath, std::string* error)
{
    close();
    masterFd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (masterFd_ < 0) {
        if (error)
            *error = errnoText("cannot open " + devicePath, errno);
        return false;
    }
    // Raw, as the instrument's own port: requests must arrive unchanged and
    // answers leave unchanged (a 0A byte in a frame stays one byte). No
    // software flow control, since 11 and 13 are picture data; no modem
    // control, so that a device without carrier still passes bytes.
    termios settings{};
    if (::tcgetattr(masterFd_, &settings) == 0) {
        ::cfmakeraw(&settings);
        settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
    }
    if (::tcsetattr(masterFd_, TCSANOW, &settings) != 0) {
        if (error)
            *error = errnoText("cannot put " + devicePath + " in raw mode", errno);
        close();
        return false;
    }
    slavePath_ = devicePath;
    return true;
}

void PseudoTerminal::close()
{
    if (!linkPath_.empty()) {
        // Leave a link alone that someone has pointed elsewhere meanwhile.
        char target[PATH_MAX];
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_)
            ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (keptSlaveFd_ >= 0) {
        ::close(keptSlaveFd_);
        keptSlaveFd_ = -1;
    }
    if (masterFd_ >= 0) {
        ::close(masterFd_);
        masterFd_ = -1;
    }
    slavePath_.clear();
}

int PseudoTerminal::unreadBySlave() const
{
    int count = 0;
    if (keptSlaveFd_ < 0 || ::ioctl(keptSlaveFd_, FIONREAD, &count) != 0)
        return -1;
    return count;
}

}  // namespace zls740sim
