// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "PortResult.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korvane {

// Time limits of one read, in milliseconds.
struct ReadLimits {
    // Longest wait for the first byte. Zero: only the total limit applies.
    int firstByteMs = 0;
    // After the first byte, the read ends once more than this passes between
    // two bytes. Zero: no gap limit.
    int gapMs = 50;
    // Limit of the whole read. Zero waits indefinitely (until interrupt()).
    int totalMs = 0;
};

// One serial port, opened for exclusive read and write in raw binary mode.
// The platform's implementation lives in a file of its own beside this one.
// All calls but interrupt() belong to one thread at a time.
class SerialPort {
public:
    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens an existing port for exclusive use (a second opener is refused with
    // Busy) and puts it in raw binary mode with 8 data bits: no echo, no line
    // editing, no character translation, no software flow control. Baud rate,
    // parity, stop bits and hardware flow control stay as the port reports them.
    PortResult open(const std::string& path);
    bool isOpen() const;
    // Releases the port, and the exclusive claim on it. Safe to call when closed.
    // Output not yet sent is discarded first: with hardware flow control held
    // (a port with nothing attached), the system would otherwise wait up to
    // half a minute in close for bytes that can never go out.
    void close();
    // Puts back the settings the port had before open() (raw mode, rate), for
    // a port that was only looked at and is left to whoever uses it.
    void restoreSettings();

    // Sets the line's bits per second, both ways. BadArgument for a rate the
    // system has no setting for. USB modem-class ports accept and ignore it.
    PortResult setBaudRate(int bitsPerSecond);
    // Whether the system has a setting for this rate.
    static bool isBaudRate(int bitsPerSecond);

    // Writes all `size` bytes within `timeoutMs`; `written` tells how many went out.
    PortResult write(const std::uint8_t* data, std::size_t size, std::size_t& written, int timeoutMs);
    // Reads up to `size` bytes by the rules of `limits`; `got` tells how many came.
    // A read that got some bytes and then hit a limit returns Ok with got < size.
    // The total limit holds even while bytes keep coming.
    PortResult read(std::uint8_t* data, std::size_t size, std::size_t& got, ReadLimits limits);
    // Discard bytes received and not yet read / bytes written and not yet sent.
    void purgeReceive();
    void purgeTransmit();
    // Reads and drops whatever has arrived, without waiting; returns how many bytes.
    std::size_t discardPending();

    // From any thread: makes the blocked or next read or write of this port
    // return Interrupted at once, until clearInterrupt().
    void interrupt();
    void clearInterrupt();

    // The system's words for the last OsFailure.
    std::string errorText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
