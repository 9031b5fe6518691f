// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
#include "CommonTestSupport.h"
#include "ScreenGeometry.h"
#include "SerialPort.h"
#include "WindowsText.h"
#include "WineInstruments.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <future>

using namespace korvane;
using namespace korvane::test;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// A read on another thread, bounded by a generous deadline: a read that
// ignored its limits would otherwise hang the test.
struct Read {
    PortResult result = PortResult::BadArgument;
    std::size_t got = 0;
    double seconds = 0;
};

Read readWithin(SerialPort& port, std::size_t size, ReadLimits limits, const std::function<void()>& meanwhile = {})
{
    auto reading = std::async(std::launch::async, [&] {
        Bytes buffer(size);
        Read read;
        const auto start = Clock::now();
        read.result = port.read(buffer.data(), buffer.size(), read.got, limits);
        read.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return read;
    });
    if (meanwhile)
        meanwhile();
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        port.interrupt();
        ADD_FAILURE() << "the read did not end by its limits";
    }
    return reading.get();
}

}  // namespace

TEST(WindowsSerialPort, AScreenComesWholeAndUnchanged)
{
    WineInstruments instruments;
    const WineInstrument scope = instruments.start(11);
    SerialPort port;
    ASSERT_EQ(port.open(scope.port()), PortResult::Ok) << port.errorText();
    std::size_t written = 0;
    ASSERT_EQ(port.write(screenRequest, sizeof screenRequest, written, 500), PortResult::Ok);
    EXPECT_EQ(written, 4u);
    Bytes screen(kFrameBytes);
    std::size_t got = 0;
    EXPECT_EQ(port.read(screen.data(), screen.size(), got, ReadLimits{5000, 50, 20000}), PortResult::Ok);
    ASSERT_EQ(got, kFrameBytes);
    ASSERT_TRUE(scope.waitForFrames(1));
    EXPECT_TRUE(screen == scope.lastFrame()) << "every byte as sent: no flow control, parity or translation";
}

// The same limits as on every system: the first byte's, the gap after the
// latest byte, and the total, which holds while bytes keep coming.
TEST(WindowsSerialPort, AReadEndsAtItsFirstByteGapAndTotalLimits)
{
    WineInstruments instruments;
    const WineInstrument silent = instruments.start(12, "--silent");
    const WineInstrument stalling = instruments.start(13, "--stall-after 10");
    const WineInstrument trickling = instruments.start(14, "--rate 1000");
    // One request to `scope`, and the read of its answer by `limits`.
    auto askAndRead = [](const WineInstrument& scope, ReadLimits limits) {
        SerialPort port;
        std::size_t written = 0;
        if (port.open(scope.port()) != PortResult::Ok
            || port.write(screenRequest, sizeof screenRequest, written, 500) != PortResult::Ok)
            return Read{};
        return readWithin(port, kFrameBytes, limits);
    };

    Read read = askAndRead(silent, ReadLimits{60, 50, 0});
    EXPECT_EQ(read.result, PortResult::TimedOut);
    EXPECT_EQ(read.got, 0u);

    // Ten bytes, then nothing ever again: the gap after them ends the read
    // (the first byte's limit would take a minute), although no byte follows
    // within the read's next system call.
    read = askAndRead(stalling, ReadLimits{60000, 50, 0});
    EXPECT_EQ(read.result, PortResult::Ok);
    EXPECT_EQ(read.got, 10u);

    // A byte a millisecond would take 41 seconds for a screen.
    read = askAndRead(trickling, ReadLimits{0, 50, 300});
    EXPECT_EQ(read.result, PortResult::Ok);
    EXPECT_GT(read.got, 0u);
    EXPECT_LT(read.seconds, 10.0) << "generous for a slow machine; without the total limit the read lasts 41 s";
}

TEST(WindowsSerialPort, InterruptEndsAReadThatWouldWaitForever)
{
    WineInstruments instruments;
    const WineInstrument scope = instruments.start(15);
    SerialPort port;
    ASSERT_EQ(port.open(scope.port()), PortResult::Ok);
    // Nothing was asked for: only interrupt() can end this read.
    const Read read = readWithin(port, kFrameBytes, ReadLimits{0, 50, 0}, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.interrupt();
    });
    EXPECT_EQ(read.result, PortResult::Interrupted);
    std::cout << "a stop ended the read " << read.seconds - 0.1 << " s after it came\n";

    // In force until cleared; then the port works again.
    std::size_t got = 0;
    std::size_t written = 0;
    Bytes screen(kFrameBytes);
    EXPECT_EQ(port.read(screen.data(), screen.size(), got, {}), PortResult::Interrupted);
    EXPECT_EQ(port.write(screenRequest, sizeof screenRequest, written, 500), PortResult::Interrupted);
    port.clearInterrupt();
    ASSERT_EQ(port.write(screenRequest, sizeof screenRequest, written, 500), PortResult::Ok);
    EXPECT_EQ(port.read(screen.data(), screen.size(), got, ReadLimits{5000, 50, 20000}), PortResult::Ok);
    EXPECT_EQ(got, kFrameBytes);
}

TEST(WindowsSerialPort, OpenTellsWhyInTheSystemsWords)
{
    WineInstruments instruments;
    const WineInstrument scope = instruments.start(16);
    SerialPort first;
    SerialPort second;
    ASSERT_EQ(first.open(scope.port()), PortResult::Ok);
    if (underWine()) {
        // Wine lets a second program open a COM port that one holds, which
        // Windows refuses (Busy). What wine enforces is a file's sharing,
        // the same refusal (below).
        EXPECT_EQ(second.open(scope.port()), PortResult::Ok) << "wine has begun to refuse: drop this branch";
    } else {
        EXPECT_EQ(second.open(scope.port()), PortResult::Busy);
    }
    second.close();

    ScratchDir dir;
    const std::string plain = dir.file("not a port.txt");
    const HANDLE held = ::CreateFileW(wideFromUtf8(plain).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(second.open(plain), PortResult::Busy) << "held by another without sharing";
    ::CloseHandle(held);
    EXPECT_EQ(second.open(plain), PortResult::NotSupported);
    EXPECT_EQ(second.open("\\\\.\\COM19"), PortResult::OsFailure);
    EXPECT_EQ(second.errorText(), systemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(second.errorText().empty());
}
