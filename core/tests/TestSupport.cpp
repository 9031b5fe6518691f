// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include "ScreenImage.h"
#include "SnapshotWriter.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace korvane::test {

TestLine::TestLine()
{
    std::string error;
    if (!pty_.open(dir_.file("line"), &error))
        throw std::runtime_error(error);
}

void TestLine::writeAll(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(pty_.masterFd(), bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            throw std::runtime_error("write to master failed");
        else {
            pollfd fd{pty_.masterFd(), POLLOUT, 0};
            ::poll(&fd, 1, 100);
        }
    }
}

bool TestLine::awaitRequest()
{
    std::vector<std::uint8_t> seen;
    return waitFor([&] {
        const std::vector<std::uint8_t> more = readFor(20);
        seen.insert(seen.end(), more.begin(), more.end());
        return seen.size() >= 4;
    });
}

std::vector<std::uint8_t> TestLine::readFor(int ms)
{
    std::vector<std::uint8_t> bytes;
    pollfd fd{pty_.masterFd(), POLLIN, 0};
    while (::poll(&fd, 1, ms) > 0 && (fd.revents & POLLIN)) {
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(pty_.masterFd(), chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

zls740sim::Zls740Simulator& Instruments::start(const std::filesystem::path& dir, int com,
                                               zls740sim::SimulatorOptions options)
{
    options.linkDir = dir.string();
    options.comNumber = com;
    auto sim = std::make_unique<zls740sim::Zls740Simulator>(options);
    std::string error;
    if (!sim->start(&error))
        throw std::runtime_error("the simulated instrument on COM" + std::to_string(com) + " cannot start: " + error);
    running_.push_back(std::move(sim));
    return *running_.back();
}

std::string engineSnapshot(const zls740sim::Frame& frame, const HeaderBytes& header, std::int32_t mode)
{
    ScreenImage image;
    image.loadHeader(header);
    std::copy(frame.begin(), frame.end(), image.frameBuffer().begin());
    image.publishFrame(mode);
    std::ostringstream out;
    image.read([&](const ScreenView& view) { SnapshotWriter::write(out, view); });
    return out.str();
}

}  // namespace korvane::test
