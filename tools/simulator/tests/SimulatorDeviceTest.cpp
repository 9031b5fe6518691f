// Korvane - ZLS740 simulator tests.
// SPDX-License-Identifier: MIT
//
// Serving an existing serial device instead of a pseudo-terminal of its own:
// the device here is the slave of a pseudo-terminal the test makes, with the
// system's default (cooked) settings; the test reads and writes its master
// as the viewer's far end would.
#include "SimulatorTest.h"

#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>

using namespace zls740sim;
using namespace zls740sim::test;

namespace {

// Every byte value in turn, so that line-ending, flow-control and echo
// characters (0A, 0D, 11, 13, 7F) are all in the picture.
Frame everyByteFrame()
{
    Frame frame{};
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return frame;
}

class FarEnd {
public:
    FarEnd() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        char name[128] = {};
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0
            && ::ptsname_r(master_, name, sizeof name) == 0)
            devicePath_ = name;
    }
    ~FarEnd()
    {
        if (master_ >= 0)
            ::close(master_);
    }
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    const std::string& devicePath() const { return devicePath_; }
    ssize_t sendRequest()
    {
        const std::uint8_t request[] = {0x57, 0x00, 0x00, 0x0A};
        return ::write(master_, request, sizeof request);
    }
    // Reads until `count` bytes have come or the deadline has passed.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs)
    {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::uint8_t buffer[8192];
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n > 0)
                bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

private:
    int master_;
    std::string devicePath_;
};

class SimulatorDeviceTest : public SimulatorTest {
protected:
    // Starts a simulator serving `far`'s device, replaying everyByteFrame();
    // call through ASSERT_NO_FATAL_FAILURE.
    void serveDevice(const FarEnd& far)
    {
        ASSERT_FALSE(far.devicePath().empty());
        const Frame frame = everyByteFrame();
        {
            std::ofstream out(file("frames.bin"), std::ios::binary);
            out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
        }
        SimulatorOptions o = options();
        o.serveDevice = far.devicePath();
        o.replayFile = file("frames.bin");
        simulator = std::make_unique<Zls740Simulator>(o);
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
    }
};

}  // namespace

TEST_F(SimulatorDeviceTest, AnswersInRawModeWithoutALink)
{
    FarEnd far;
    ASSERT_NO_FATAL_FAILURE(serveDevice(far));
    EXPECT_TRUE(simulator->linkUp());
    EXPECT_EQ(simulator->slavePath(), far.devicePath());
    EXPECT_FALSE(linkExists(simulator->linkPath()));

    // Cooked settings left in place would echo the request and turn each 0A
    // of the answer into 0D 0A: either shows as a wrong frame.
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(far.sendRequest(), 4);
        EXPECT_EQ(far.receive(kFrameBytes, kDeadlineMs), bytesOf(everyByteFrame())) << "round " << round;
        EXPECT_TRUE(far.receive(1, kQuietMs).empty()) << "round " << round;
    }
    EXPECT_EQ(simulator->requestCount(), 2u);
}

TEST_F(SimulatorDeviceTest, OpensTheDeviceAgainAfterAHangUp)
{
    FarEnd far;
    ASSERT_NO_FATAL_FAILURE(serveDevice(far));
    ASSERT_EQ(far.sendRequest(), 4);
    ASSERT_EQ(far.receive(kFrameBytes, kDeadlineMs).size(), kFrameBytes);

    // A hung-up device stays hung up for every descriptor that had it open
    // (as a USB gadget's port does when its link goes): only opening it
    // again brings it back.
    {
        const int fd = ::open(far.devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const int hungUp = ::ioctl(fd, TIOCVHANGUP);
        const int err = errno;
        ::close(fd);
        if (hungUp != 0 && err == EPERM)
            GTEST_SKIP() << "hanging up a terminal needs CAP_SYS_ADMIN";
        ASSERT_EQ(hungUp, 0) << std::strerror(err);
    }
    ASSERT_TRUE(simulator->waitForLinkState(false, kDeadlineMs));
    ASSERT_TRUE(simulator->waitForLinkState(true, kDeadlineMs));
    ASSERT_EQ(far.sendRequest(), 4);
    EXPECT_EQ(far.receive(kFrameBytes, kDeadlineMs), bytesOf(everyByteFrame()));
}

TEST_F(SimulatorDeviceTest, RefusesADeviceThatCannotBeOpened)
{
    SimulatorOptions o = options();
    o.serveDevice = file("no-such-device");
    Zls740Simulator missing(o);
    std::string error;
    EXPECT_FALSE(missing.start(&error));
    EXPECT_NE(error.find("no-such-device"), std::string::npos) << error;
}
