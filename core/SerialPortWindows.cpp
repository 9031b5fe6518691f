// Korvane - screen acquisition engine: the serial port on Windows.
// SPDX-License-Identifier: MIT
#include "SerialPort.h"

#include "ReadTimer.h"
#include "ScreenGeometry.h"
#include "WindowsText.h"

#include <windows.h>

#include <algorithm>

namespace korvane {

namespace {

using Clock = ReadTimer::Clock;

// Every ReadFile and WriteFile ends by its own time-out after at most this
// long, so that interrupt() is seen within it, between two calls. The port
// is opened for plain blocking calls, which Windows and wine both serve in
// one system call; wine serves an overlapped serial read with a round trip
// to its server for every piece of a screen, several times the processor
// time. The read time-outs are never all zero: Windows then waits for every
// byte asked for, and wine spins a processor core.
constexpr DWORD kSliceMs = 25;
constexpr std::size_t kLargestTransfer = 1 << 20;

// The rates Windows serial drivers take: the CBR_ rates and those of USB adapters above them.
constexpr int kBaudRates[] = {110,    300,    600,    1200,    2400,    4800,    9600,    14400,
                              19200,  38400,  57600,  115200,  128000,  230400,  256000,  460800,
                              500000, 576000, 921600, 1000000, 1500000, 2000000, 3000000, 4000000};

// 8 data bits, no parity, one stop bit, binary, no flow control of either
// kind (XON and XOFF bytes are picture data), DTR and RTS on (modem-class
// devices send only to an open terminal), and no line error that stops all
// transfers until it is cleared. The rate stays as found.
void applyLineSettings(DCB& line)
{
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
}

}  // namespace

struct SerialPort::Impl {
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE wake = nullptr;  // set while interrupt() is in force
    std::string errorText;
    DCB original{};  // the settings found at open()
    COMMTIMEOUTS originalTimeouts{};
    COMMTIMEOUTS timeouts{};
    bool timeoutsKnown = false;

    PortResult fail(DWORD code)
    {
        errorText = systemErrorText(code);
        return PortResult::OsFailure;
    }

    bool interrupted() const { return ::WaitForSingleObject(wake, 0) == WAIT_OBJECT_0; }

    // One system call only when the time-outs change: the calls of a read
    // mostly ask for the same ones.
    PortResult useTimeouts(DWORD readMs, DWORD writeMs)
    {
        if (timeoutsKnown && timeouts.ReadTotalTimeoutConstant == readMs
            && timeouts.WriteTotalTimeoutConstant == writeMs)
            return PortResult::Ok;
        COMMTIMEOUTS wanted{0, 0, readMs, 0, writeMs};
        if (!::SetCommTimeouts(port, &wanted))
            return fail(::GetLastError());
        timeouts = wanted;
        timeoutsKnown = true;
        return PortResult::Ok;
    }

    // One ReadFile or WriteFile of at most `sliceMs`; `moved` tells how many
    // bytes went either way.
    PortResult transfer(bool reading, std::uint8_t* bytes, std::size_t size, DWORD sliceMs, DWORD& moved)
    {
        moved = 0;
        const PortResult set = reading ? useTimeouts(std::max<DWORD>(sliceMs, 1), timeouts.WriteTotalTimeoutConstant)
                                       : useTimeouts(timeouts.ReadTotalTimeoutConstant, std::max<DWORD>(sliceMs, 1));
        if (set != PortResult::Ok)
            return set;
        const DWORD count = DWORD(std::min(size, kLargestTransfer));
        const BOOL done = reading ? ::ReadFile(port, bytes, count, &moved, nullptr)
                                  : ::WriteFile(port, bytes, count, &moved, nullptr);
        // Windows ends a call its time-out stopped with success; wine with
        // ERROR_TIMEOUT.
        if (!done && ::GetLastError() != ERROR_TIMEOUT)
            return fail(::GetLastError());
        return PortResult::Ok;
    }
};

SerialPort::SerialPort()
    : impl_(std::make_unique<Impl>())
{
    impl_->wake = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

SerialPort::~SerialPort()
{
    close();
    ::CloseHandle(impl_->wake);
}

PortResult SerialPort::open(const std::string& path)
{
    if (isOpen() || path.empty())
        return PortResult::BadArgument;
    // No sharing: a port another program has open is refused, and this
    // program's claim holds until close(). Not inherited by programs it starts.
    const HANDLE port =
        ::CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        impl_->fail(error);
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? PortResult::Busy
                                                                                : PortResult::OsFailure;
    }
    DCB line{};
    line.DCBlength = sizeof line;
    if (!::GetCommState(port, &line)) {
        impl_->fail(::GetLastError());
        ::CloseHandle(port);
        return PortResult::NotSupported;
    }
    impl_->original = line;
    ::GetCommTimeouts(port, &impl_->originalTimeouts);
    // Room for a whole screen in the driver: bytes keep coming while the
    // reader is between two calls.
    ::SetupComm(port, kFrameBytes, kFrameBytes);
    applyLineSettings(line);
    if (!::SetCommState(port, &line)) {
        const PortResult failed = impl_->fail(::GetLastError());
        ::CloseHandle(port);
        return failed;
    }
    DWORD lineErrors = 0;
    ::ClearCommError(port, &lineErrors, nullptr);
    impl_->port = port;
    impl_->timeouts = impl_->originalTimeouts;
    impl_->timeoutsKnown = false;
    return PortResult::Ok;
}

bool SerialPort::isOpen() const
{
    return impl_->port != INVALID_HANDLE_VALUE;
}

void SerialPort::close()
{
    if (!isOpen())
        return;
    // Nothing owed to the line may hold up the close.
    ::PurgeComm(impl_->port, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
    ::CloseHandle(impl_->port);
    impl_->port = INVALID_HANDLE_VALUE;
}

void SerialPort::restoreSettings()
{
    if (!isOpen())
        return;
    ::PurgeComm(impl_->port, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
    ::SetCommState(impl_->port, &impl_->original);
    ::SetCommTimeouts(impl_->port, &impl_->originalTimeouts);
    impl_->timeoutsKnown = false;
}

bool SerialPort::isBaudRate(int bitsPerSecond)
{
    return std::find(std::begin(kBaudRates), std::end(kBaudRates), bitsPerSecond) != std::end(kBaudRates);
}

PortResult SerialPort::setBaudRate(int bitsPerSecond)
{
    if (!isOpen() || !isBaudRate(bitsPerSecond))
        return PortResult::BadArgument;
    DCB line{};
    line.DCBlength = sizeof line;
    if (!::GetCommState(impl_->port, &line))
        return impl_->fail(::GetLastError());
    line.BaudRate = DWORD(bitsPerSecond);
    if (!::SetCommState(impl_->port, &line))
        return impl_->fail(::GetLastError());
    return PortResult::Ok;
}

PortResult SerialPort::write(const std::uint8_t* data, std::size_t size, std::size_t& written, int timeoutMs)
{
    written = 0;
    if (!isOpen())
        return PortResult::BadArgument;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < size) {
        if (impl_->interrupted())
            return PortResult::Interrupted;
        const int left = msUntil(deadline);
        if (left == 0)
            return PortResult::TimedOut;
        DWORD moved = 0;
        const PortResult result = impl_->transfer(false, const_cast<std::uint8_t*>(data) + written, size - written,
                                                  std::min(DWORD(left), kSliceMs), moved);
        written += moved;
        if (result != PortResult::Ok)
            return result;
    }
    return PortResult::Ok;
}

PortResult SerialPort::read(std::uint8_t* data, std::size_t size, std::size_t& got, ReadLimits limits)
{
    got = 0;
    if (!isOpen())
        return PortResult::BadArgument;
    // The gap is measured from the end of the call that brought the latest
    // bytes: it may be seen up to one call late.
    ReadTimer timer(limits);
    while (got < size) {
        if (impl_->interrupted())
            return PortResult::Interrupted;
        const int wait = timer.nextWaitMs();
        if (timer.totalPassed() || wait == 0)
            return got > 0 ? PortResult::Ok : PortResult::TimedOut;
        const DWORD sliceMs = wait < 0 ? kSliceMs : std::min(DWORD(wait), kSliceMs);
        const auto start = Clock::now();
        DWORD moved = 0;
        const PortResult result = impl_->transfer(true, data + got, size - got, sliceMs, moved);
        if (result != PortResult::Ok)
            return result;
        if (moved > 0) {
            timer.bytesCame(moved);
            got += moved;
            continue;
        }
        // Nothing came: a quiet line, or a device that has gone. Windows
        // fails the ReadFile of a removed device; wine ends it at once
        // without a byte, as at the end of a file, and then refuses the
        // line's state. A call that keeps ending with nothing long before its
        // time-out would otherwise spin a processor core until the limit.
        DWORD lineErrors = 0;
        if (!::ClearCommError(impl_->port, &lineErrors, nullptr))
            return impl_->fail(::GetLastError());
        if (4 * (Clock::now() - start) < std::chrono::milliseconds(sliceMs)) {
            impl_->errorText = "the far end hung up";
            return PortResult::OsFailure;
        }
    }
    return PortResult::Ok;
}

void SerialPort::purgeReceive()
{
    if (isOpen())
        ::PurgeComm(impl_->port, PURGE_RXCLEAR);
}

void SerialPort::purgeTransmit()
{
    if (isOpen())
        ::PurgeComm(impl_->port, PURGE_TXCLEAR);
}

std::size_t SerialPort::discardPending()
{
    std::size_t dropped = 0;
    while (isOpen()) {
        // Asks for no more than the driver holds, so the read ends at once.
        DWORD lineErrors = 0;
        COMSTAT status{};
        if (!::ClearCommError(impl_->port, &lineErrors, &status) || status.cbInQue == 0)
            break;
        std::uint8_t scratch[4096];
        DWORD moved = 0;
        if (impl_->transfer(true, scratch, std::min<std::size_t>(status.cbInQue, sizeof scratch), kSliceMs, moved)
                != PortResult::Ok
            || moved == 0)
            break;
        dropped += moved;
    }
    return dropped;
}

void SerialPort::interrupt()
{
    ::SetEvent(impl_->wake);
}

void SerialPort::clearInterrupt()
{
    ::ResetEvent(impl_->wake);
}

std::string SerialPort::errorText() const
{
    return impl_->errorText;
}

}  // namespace korvane
