// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "Zls740Simulator.h"

#include "SimulatorServer.h"
#include "SimulatorState.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zls740sim {

namespace {

// Larger answers are a mistake in the options, not a test of the viewer.
constexpr std::size_t kMaxAnswerBytes = 64u * 1024 * 1024;

bool setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

bool loadReplayFrames(const std::string& path, std::vector<Frame>& frames, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return setError(error, "cannot open " + path + ": " + std::strerror(errno));
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return setError(error, "cannot read " + path);
    if (bytes.empty() || bytes.size() % kFrameBytes != 0)
        return setError(
            error, path + " holds " + std::to_string(bytes.size()) + " bytes, not a whole number of 40960-byte frames");
    frames.resize(bytes.size() / kFrameBytes);
    for (std::size_t i = 0; i < frames.size(); ++i)
        std::memcpy(frames[i].data(), bytes.data() + i * kFrameBytes, kFrameBytes);
    return true;
}

}  // namespace

Zls740Simulator::Zls740Simulator(SimulatorOptions options)
    : options_(std::move(options))
    , state_(std::make_unique<SimulatorState>())
{
}

Zls740Simulator::~Zls740Simulator()
{
    stop();
}

bool Zls740Simulator::start(std::string* error)
{
    if (thread_.joinable())
        return setError(error, "the simulator is already running");
    if (options_.answerBytes > kMaxAnswerBytes)
        return setError(error, "answers of more than " + std::to_string(kMaxAnswerBytes) + " bytes are not supported");
    std::vector<Frame> replayFrames;
    if (!options_.replayFile.empty() && !loadReplayFrames(options_.replayFile, replayFrames, error))
        return false;

    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        return setError(error, std::string("cannot create an event descriptor: ") + std::strerror(errno));
    server_ = std::make_unique<SimulatorServer>(options_, linkPath(), std::move(replayFrames), *state_, wakeFd_);
    if (!server_->openLink(error)) {
        server_.reset();
        ::close(wakeFd_);
        wakeFd_ = -1;
        return false;
    }
    thread_ = std::thread([this] { server_->run(); });
    return true;
}

void Zls740Simulator::stop()
{
    if (!thread_.joinable())
        return;
    const std::uint64_t one = 1;
    // An eventfd counter only fails to take a write when it would overflow;
    // by then it is readable anyway.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    server_->closeLink();
    server_.reset();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

std::string Zls740Simulator::linkPath() const
{
    return options_.linkDir + "/COM" + std::to_string(options_.comNumber);
}

std::string Zls740Simulator::slavePath() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.slavePath; });
}

std::uint64_t Zls740Simulator::requestCount() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.requestCount; });
}

std::vector<std::array<std::uint8_t, 4>> Zls740Simulator::requests() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.requests; });
}

std::vector<std::uint8_t> Zls740Simulator::pendingBytes() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.pending; });
}

std::uint64_t Zls740Simulator::framesSent() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.framesSent; });
}

Frame Zls740Simulator::lastFrame() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.lastFrame; });
}

bool Zls740Simulator::linkUp() const
{
    return state_->read([](const SimulatorState::Seen& s) { return s.linkUp; });
}

bool Zls740Simulator::waitForRequests(std::uint64_t n, int timeoutMs) const
{
    return state_->waitFor(timeoutMs, [&](const SimulatorState::Seen& s) { return s.requestCount >= n; });
}

bool Zls740Simulator::waitForFrames(std::uint64_t n, int timeoutMs) const
{
    return state_->waitFor(timeoutMs, [&](const SimulatorState::Seen& s) { return s.framesSent >= n; });
}

bool Zls740Simulator::waitForLinkState(bool up, int timeoutMs) const
{
    return state_->waitFor(timeoutMs, [&](const SimulatorState::Seen& s) { return s.linkUp == up; });
}

}  // namespace zls740sim
