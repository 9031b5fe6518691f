// Korvane - screen acquisition engine: the serial port on POSIX systems.
// SPDX-License-Identifier: MIT
#include "SerialPort.h"

#include "RawMode.h"
#include "ReadTimer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace korvane {

namespace {

using Clock = ReadTimer::Clock;

// The rates termios has a setting for.
constexpr struct {
    int bitsPerSecond;
    speed_t setting;
} kBaudRates[] = {
    {1200, B1200},       {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},
    {38400, B38400},     {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},
    {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
    {4000000, B4000000},
};

}  // namespace

struct SerialPort::Impl {
    int fd = -1;
    int wakeFd = -1;  // readable while interrupt() is in force
    std::string errorText;
    termios original{};  // the settings found at open()

    PortResult fail(int err)
    {
        errorText = std::strerror(err);
        return PortResult::OsFailure;
    }

    // A line that delivers an answer in many small pieces (a USB device's
    // 64-byte packets, say) would wake the reader tens of thousands of times
    // a second at a megabyte a second. After a small piece, sleep (on the
    // wake-up only) about as long as a quarter of the terminal's 4 KiB input
    // buffer takes to fill at the rate seen so far, at most a few
    // milliseconds and well inside the gap limit.
    static constexpr std::size_t kSmallPiece = 512;
    void letBytesGather(const ReadTimer& timer, std::size_t remaining, int gapMs)
    {
        constexpr std::size_t kGatherBytes = 1024;
        constexpr auto kLongestNap = std::chrono::microseconds(4000);
        remaining = std::min(remaining, kGatherBytes);
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(timer.sinceFirstBatch());
        if (timer.bytesAfterFirstBatch() == 0 || elapsed.count() <= 0)
            return;
        const double microsPerByte = double(elapsed.count()) / double(timer.bytesAfterFirstBatch());
        auto nap = std::chrono::microseconds(static_cast<long long>(microsPerByte * double(remaining)));
        nap = std::min({nap, kLongestNap, std::chrono::microseconds(gapMs * 1000 / 4)});
        if (nap < std::chrono::microseconds(200))
            return;
        pollfd wake{wakeFd, POLLIN, 0};
        const timespec pause{0, static_cast<long>(nap.count()) * 1000};
        ::ppoll(&wake, 1, &pause, nullptr);
    }

    // Waits for `events` on the port, the wake-up, or the timeout (-1: none).
    PortResult wait(short events, int timeoutMs)
    {
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        for (;;) {
            const int n = ::poll(fds, 2, timeoutMs);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return fail(errno);
            if (fds[1].revents & POLLIN)
                return PortResult::Interrupted;
            if (n == 0)
                return PortResult::TimedOut;
            return PortResult::Ok;
        }
    }
};

SerialPort::SerialPort()
    : impl_(std::make_unique<Impl>())
{
    impl_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

SerialPort::~SerialPort()
{
    close();
    if (impl_->wakeFd >= 0)
        ::close(impl_->wakeFd);
}

PortResult SerialPort::open(const std::string& path)
{
    if (isOpen() || path.empty())
        return PortResult::BadArgument;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EBUSY)
            return PortResult::Busy;
        impl_->fail(err);
        return err == EACCES || err == EPERM ? PortResult::Denied : PortResult::OsFailure;
    }

    // TIOCEXCL refuses other openers, except root; the flock refuses every
    // other program of ours, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? PortResult::Busy : impl_->fail(err);
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == ENOTTY) {
            impl_->errorText = std::strerror(err);
            return PortResult::NotSupported;
        }
        return impl_->fail(err);
    }
    impl_->original = settings;
    applyRawMode(settings);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        const int err = errno;
        ::close(fd);
        return impl_->fail(err);
    }
    ::ioctl(fd, TIOCEXCL);
    impl_->fd = fd;
    return PortResult::Ok;
}

bool SerialPort::isOpen() const
{
    return impl_->fd >= 0;
}

void SerialPort::close()
{
    if (impl_->fd < 0)
        return;
    // Nothing owed to the line may hold up the close: a request that flow
    // control keeps back is worthless once the port is given up.
    ::tcflush(impl_->fd, TCIOFLUSH);
    // On a pseudo-terminal the exclusive flag outlives the descriptor and
    // would refuse the next connect.
    ::ioctl(impl_->fd, TIOCNXCL);
    ::close(impl_->fd);  // also drops the flock
    impl_->fd = -1;
}

void SerialPort::restoreSettings()
{
    if (isOpen()) {
        ::tcflush(impl_->fd, TCIOFLUSH);
        ::tcsetattr(impl_->fd, TCSANOW, &impl_->original);
    }
}

bool SerialPort::isBaudRate(int bitsPerSecond)
{
    for (const auto& rate : kBaudRates) {
        if (rate.bitsPerSecond == bitsPerSecond)
            return true;
    }
    return false;
}

PortResult SerialPort::setBaudRate(int bitsPerSecond)
{
    if (!isOpen())
        return PortResult::BadArgument;
    for (const auto& rate : kBaudRates) {
        if (rate.bitsPerSecond != bitsPerSecond)
            continue;
        termios settings{};
        if (::tcgetattr(impl_->fd, &settings) != 0 || ::cfsetspeed(&settings, rate.setting) != 0
            || ::tcsetattr(impl_->fd, TCSANOW, &settings) != 0)
            return impl_->fail(errno);
        return PortResult::Ok;
    }
    return PortResult::BadArgument;
}

PortResult SerialPort::write(const std::uint8_t* data, std::size_t size, std::size_t& written, int timeoutMs)
{
    written = 0;
    if (!isOpen())
        return PortResult::BadArgument;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < size) {
        const ssize_t n = ::write(impl_->fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return impl_->fail(errno);
        const PortResult waited = impl_->wait(POLLOUT, msUntil(deadline));
        if (waited != PortResult::Ok)
            return waited;
    }
    return PortResult::Ok;
}

PortResult SerialPort::read(std::uint8_t* data, std::size_t size, std::size_t& got, ReadLimits limits)
{
    got = 0;
    if (!isOpen())
        return PortResult::BadArgument;
    ReadTimer timer(limits);
    while (got < size) {
        // Checked before every wait, not only when the line is quiet: bytes
        // trickling in must not stretch the read past its limit.
        if (timer.totalPassed())
            return got > 0 ? PortResult::Ok : PortResult::TimedOut;
        const PortResult waited = impl_->wait(POLLIN, timer.nextWaitMs());
        if (waited == PortResult::TimedOut)
            return got > 0 ? PortResult::Ok : PortResult::TimedOut;
        if (waited != PortResult::Ok)
            return waited;

        // In raw mode a read of a port with nothing waiting returns 0, so 0
        // means end of file only after poll has reported the port readable.
        const ssize_t n = ::read(impl_->fd, data + got, size - got);
        if (n > 0) {
            timer.bytesCame(static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
            if (got < size && static_cast<std::size_t>(n) < Impl::kSmallPiece)
                impl_->letBytesGather(timer, size - got, limits.gapMs);
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return impl_->fail(errno);
        impl_->errorText = "the far end hung up";
        return PortResult::OsFailure;
    }
    return PortResult::Ok;
}

void SerialPort::purgeReceive()
{
    if (isOpen())
        ::tcflush(impl_->fd, TCIFLUSH);
}

void SerialPort::purgeTransmit()
{
    if (isOpen())
        ::tcflush(impl_->fd, TCOFLUSH);
}

std::size_t SerialPort::discardPending()
{
    std::size_t dropped = 0;
    while (isOpen()) {
        pollfd fd{impl_->fd, POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0 || !(fd.revents & POLLIN))
            break;
        std::uint8_t scratch[4096];
        const ssize_t n = ::read(impl_->fd, scratch, sizeof scratch);
        if (n <= 0)
            break;
        dropped += static_cast<std::size_t>(n);
    }
    return dropped;
}

void SerialPort::interrupt()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(impl_->wakeFd, &one, sizeof one);
}

void SerialPort::clearInterrupt()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(impl_->wakeFd, &count, sizeof count);
}

std::string SerialPort::errorText() const
{
    return impl_->errorText;
}

}  // namespace korvane
