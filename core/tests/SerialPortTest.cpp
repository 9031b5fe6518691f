// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "SerialPort.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <future>
#include <numeric>

using namespace korvane;
using namespace korvane::test;

TEST(SerialPort, EveryByteValuePassesBothWaysUnchanged)
{
    TestLine pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath()), PortResult::Ok);

    // Pseudo-terminals start with echo, line editing and XON/XOFF on.
    std::vector<std::uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), 0);
    pty.writeAll(bytes);
    std::vector<std::uint8_t> got(256);
    std::size_t n = 0;
    EXPECT_EQ(port.read(got.data(), got.size(), n, ReadLimits{2000, 200, 0}), PortResult::Ok);
    ASSERT_EQ(n, 256u);
    EXPECT_EQ(got, bytes);

    std::size_t written = 0;
    ASSERT_EQ(port.write(bytes.data(), bytes.size(), written, 500), PortResult::Ok);
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(pty.readFor(200), bytes) << "nothing added, dropped or echoed";
}

TEST(SerialPort, OpensOnlyAFreePort)
{
    TestLine pty;
    SerialPort first;
    SerialPort second;
    ASSERT_EQ(first.open(pty.slavePath()), PortResult::Ok);
    EXPECT_EQ(second.open(pty.slavePath()), PortResult::Busy);
    EXPECT_FALSE(second.isOpen());
    first.close();
    EXPECT_EQ(second.open(pty.slavePath()), PortResult::Ok) << "the exclusive claim must end with close";

    ScratchDir dir;
    std::ofstream(dir.file("plain")) << "not a port";
    SerialPort other;
    EXPECT_EQ(other.open(dir.file("plain")), PortResult::NotSupported);
    EXPECT_EQ(other.open(dir.file("missing")), PortResult::OsFailure);
    EXPECT_NE(other.errorText().find("No such file"), std::string::npos) << other.errorText();
    std::size_t n = 7;
    std::uint8_t byte = 0;
    EXPECT_EQ(other.read(&byte, 1, n, {}), PortResult::BadArgument);
    EXPECT_EQ(n, 0u) << "outputs are cleared on failure";
}

TEST(SerialPort, ReadEndsAtTheFirstGapOrTheFirstByteLimit)
{
    TestLine pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath()), PortResult::Ok);

    std::vector<std::uint8_t> buffer(100);
    std::size_t n = 99;
    EXPECT_EQ(port.read(buffer.data(), buffer.size(), n, ReadLimits{60, 50, 0}), PortResult::TimedOut);
    EXPECT_EQ(n, 0u);

    // Ten bytes, then a pause well past the gap limit, then more: the read
    // ends with the ten.
    auto feeder = std::async(std::launch::async, [&] {
        pty.writeAll(std::vector<std::uint8_t>(10, 0x11));
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        pty.writeAll(std::vector<std::uint8_t>(10, 0x13));
    });
    EXPECT_EQ(port.read(buffer.data(), buffer.size(), n, ReadLimits{0, 50, 0}), PortResult::Ok);
    EXPECT_EQ(n, 10u);
    feeder.get();
    EXPECT_EQ(port.read(buffer.data(), buffer.size(), n, ReadLimits{2000, 50, 0}), PortResult::Ok);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(buffer[0], 0x13);
}

// Bytes that keep coming faster than the gap limit must not stretch a read
// past its total limit.
TEST(SerialPort, TotalLimitHoldsWhileBytesKeepComing)
{
    TestLine pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath()), PortResult::Ok);
    std::atomic<bool> done{false};
    auto feeder = std::async(std::launch::async, [&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        while (!done && std::chrono::steady_clock::now() < end) {
            pty.writeAll({0x55});
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::vector<std::uint8_t> buffer(40960);
    std::size_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.read(buffer.data(), buffer.size(), n, ReadLimits{0, 50, 300}), PortResult::Ok);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    feeder.get();
    EXPECT_GT(n, 0u);
    // Generous against a slow machine; without the limit the read lasts as
    // long as the bytes keep coming (eight seconds).
    EXPECT_LT(seconds, 4.0);
}

TEST(SerialPort, InterruptWakesAReadThatWouldWaitForever)
{
    TestLine pty;
    SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath()), PortResult::Ok);
    auto reader = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(40960);
        std::size_t n = 0;
        return port.read(buffer.data(), buffer.size(), n, ReadLimits{0, 50, 0});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.interrupt();
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(reader.get(), PortResult::Interrupted);

    // Interrupted stays in force until cleared; then reads work again.
    std::uint8_t byte = 0;
    std::size_t n = 0;
    EXPECT_EQ(port.read(&byte, 1, n, ReadLimits{0, 50, 0}), PortResult::Interrupted);
    port.clearInterrupt();
    pty.writeAll({0x42});
    EXPECT_EQ(port.read(&byte, 1, n, ReadLimits{2000, 50, 0}), PortResult::Ok);
    EXPECT_EQ(byte, 0x42);
}
