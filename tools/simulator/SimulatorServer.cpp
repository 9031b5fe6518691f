// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "SimulatorServer.h"

#include "AtomicFile.h"
#include "SimulatorState.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zls740sim {

namespace {

// Trailing bytes after a whole frame: a pattern that is easy to spot.
constexpr std::uint8_t kTrailingByte = 0xA5;
// How often the viewer's unread input is looked at before the link goes
// away, and how long it may take at most to read the last answer.
constexpr auto kDrainCheckInterval = std::chrono::milliseconds(1);
constexpr auto kDrainLimit = std::chrono::seconds(2);
constexpr int kQuietChecksToDrain = 300;
constexpr auto kHangupPause = std::chrono::milliseconds(20);
constexpr auto kReopenRetry = std::chrono::milliseconds(200);
// Largest single write. Small enough that the write carrying an answer's
// last byte is known in advance (the answer is published just before it),
// large enough to keep up with any viewer.
constexpr std::size_t kWriteChunk = 4096;
// A viewer that forgot raw mode echoes every answer back as thousands of
// "requests"; answers owed beyond this are not queued, so the echo cannot
// build up an endless backlog (the requests are still counted).
constexpr std::uint64_t kMaxOwedAnswers = 16;
// The report is rewritten at most every 10 ms, and a long report no more
// than a tenth of the time: a flood of requests would otherwise keep
// rewriting an ever longer file.
constexpr auto kReportInterval = std::chrono::milliseconds(10);
constexpr int kReportDutyFactor = 10;

template <typename Duration>
timespec toTimespec(Duration d)
{
    const auto ns = std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(d).count());
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

SimulatorServer::SimulatorServer(SimulatorOptions options, std::string linkPath, std::vector<Frame> replayFrames,
                                 SimulatorState& state, int wakeFd)
    : options_(std::move(options))
    , linkPath_(std::move(linkPath))
    , replayFrames_(std::move(replayFrames))
    , state_(state)
    , wakeFd_(wakeFd)
{
}

bool SimulatorServer::openLink(std::string* error)
{
    const bool opened = options_.serveDevice.empty() ? terminal_.open(linkPath_, error)
                                                     : terminal_.serveDevice(options_.serveDevice, error);
    if (!opened)
        return false;
    if (options_.chatterPerSecond > 0) {
        // A board does not hear its own lines: without this the line
        // discipline would echo them back as thousands of "requests".
        // Everything else stays as a new terminal has it.
        termios settings{};
        if (::tcgetattr(terminal_.masterFd(), &settings) == 0) {
            settings.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL);
            ::tcsetattr(terminal_.masterFd(), TCSANOW, &settings);
        }
    }
    phase_ = Phase::Serving;
    state_.setLink(true, terminal_.slavePath());
    writeReport();
    return true;
}

void SimulatorServer::closeLink()
{
    terminal_.close();
    state_.setLink(false, {});
    lastReportAt_.reset();
    writeReport();
}

void SimulatorServer::run()
{
    for (;;) {
        const auto now = Clock::now();
        const bool moreNow = doDueWork(now);
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {-1, 0, 0}};
        const nfds_t count = watchMaster(fds[1]) ? 2 : 1;
        // The wake descriptor readable: stopped.
        if (!waitForEvents(fds, count, moreNow, now) || fds[0].revents != 0)
            return;
        if (count == 2 && fds[1].revents != 0)
            serveMaster(fds[1].revents, Clock::now());
    }
}

bool SimulatorServer::doDueWork(Clock::time_point now)
{
    bool moreNow = false;
    if (phase_ == Phase::Serving && options_.chatterPerSecond > 0 && !hangupUntil_
        && (!chatterAt_ || now >= *chatterAt_))
        chatter(now);
    if (phase_ == Phase::Serving) {
        if (!answering_ && owedAnswers_ > 0 && !stalled_)
            beginAnswer(now);
        if (answering_ && !writeBlocked_)
            moreNow = sendSome(now);
    }
    if (phase_ == Phase::Draining && drainCheckAt_ && now >= *drainCheckAt_)
        checkDrained(now);
    if (phase_ == Phase::Away && reopenAt_ && now >= *reopenAt_)
        comeBack(now);
    if (hangupUntil_ && now >= *hangupUntil_)
        hangupUntil_.reset();
    if (reportDueAt_ && now >= *reportDueAt_)
        writeReport();
    return moreNow;
}

bool SimulatorServer::watchMaster(pollfd& master) const
{
    if (!terminal_.isOpen() || hangupUntil_)
        return false;
    master.fd = terminal_.masterFd();
    master.events = POLLIN;
    if (phase_ == Phase::Serving && answering_ && writeBlocked_)
        master.events |= POLLOUT;
    return true;
}

bool SimulatorServer::waitForEvents(pollfd* fds, nfds_t count, bool moreNow, Clock::time_point now) const
{
    timespec timeout{};
    const timespec* timeoutPtr = &timeout;
    if (!moreNow) {
        if (const auto deadline = nextDeadline())
            timeout = toTimespec(*deadline - now);
        else
            timeoutPtr = nullptr;
    }
    // Interrupted by a signal: no event, the loop looks again.
    if (::ppoll(fds, count, timeoutPtr, nullptr) >= 0 || errno == EINTR)
        return true;
    std::perror("zls740-sim: poll");
    return false;
}

void SimulatorServer::serveMaster(short revents, Clock::time_point now)
{
    if (revents & POLLOUT) {
        writeBlocked_ = false;
        // A paced answer goes on at its pace from here rather than
        // bursting to catch up with the time the viewer kept it waiting.
        if (answerRate_ > 0)
            answerStart_ =
                now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(sent_ / answerRate_));
    }
    if (revents & POLLIN)
        readRequests(now);
    else if (revents & (POLLHUP | POLLERR | POLLNVAL))
        hungUp(now);
}

std::optional<SimulatorServer::Clock::time_point> SimulatorServer::nextDeadline() const
{
    std::optional<Clock::time_point> deadline;
    auto consider = [&](const std::optional<Clock::time_point>& t) {
        if (t && (!deadline || *t < *deadline))
            deadline = t;
    };
    if (phase_ == Phase::Serving && answering_ && !writeBlocked_)
        consider(paceAt_);
    if (phase_ == Phase::Serving)
        consider(chatterAt_);
    if (phase_ == Phase::Draining)
        consider(drainCheckAt_);
    if (phase_ == Phase::Away)
        consider(reopenAt_);
    consider(hangupUntil_);
    consider(reportDueAt_);
    return deadline;
}

std::uint64_t SimulatorServer::requestsSeen() const
{
    return state_.read([](const SimulatorState::Seen& seen) { return seen.requestCount; });
}

void SimulatorServer::chatter(Clock::time_point now)
{
    // A reading as a board prints it; a line the link cannot take now is
    // dropped, as a board's output is when nobody reads it.
    char line[64];
    const int length = std::snprintf(line, sizeof line, "T=%06llu V=3.30 I=0.12\r\n",
                                     static_cast<unsigned long long>(chatterLines_++ % 1000000));
    [[maybe_unused]] const ssize_t n = ::write(terminal_.masterFd(), line, static_cast<std::size_t>(length));
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options_.chatterPerSecond));
    chatterAt_ = (chatterAt_ ? *chatterAt_ : now) + period;
    if (*chatterAt_ < now)
        chatterAt_ = now + period;  // fell behind (a stopped process): no burst to catch up
}

void SimulatorServer::readRequests(Clock::time_point now)
{
    std::uint8_t buffer[4096];
    bool received = false;
    // Bounded, so that a flood of input cannot hold off the answers.
    for (int round = 0; round < 16; ++round) {
        const ssize_t n = ::read(terminal_.masterFd(), buffer, sizeof buffer);
        if (n > 0) {
            received = true;
            const std::size_t completed = state_.addReceived(buffer, static_cast<std::size_t>(n));
            if (phase_ == Phase::Serving && !options_.silent && !stalled_)
                owedAnswers_ = std::min(owedAnswers_ + completed, kMaxOwedAnswers);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            hungUp(now);
        break;
    }
    if (received)
        writeReport();
    if (phase_ == Phase::Draining && requestsSeen() > requestsAtDrain_)
        goAway(now);
}

void SimulatorServer::beginAnswer(Clock::time_point now)
{
    --owedAnswers_;
    const std::uint64_t index = answersBegun_++;
    frame_ = replayFrames_.empty() ? drawFrame(index) : replayFrames_[index % replayFrames_.size()];
    const bool faulty = options_.faultEvery <= 1 || (index + 1) % std::uint64_t(options_.faultEvery) == 0;
    const std::size_t answerBytes = faulty ? options_.answerBytes : kFrameBytes;
    answerRate_ = faulty ? options_.bytesPerSecond : 0;
    const std::size_t frameBytes = std::min(answerBytes, kFrameBytes);
    answer_.assign(frame_.begin(), frame_.begin() + static_cast<std::ptrdiff_t>(frameBytes));
    answer_.resize(answerBytes, kTrailingByte);
    holdTrailing_ = options_.trailingAfterMs > 0 && answerBytes > kFrameBytes;
    trailingAt_.reset();
    sent_ = 0;
    published_ = false;
    answering_ = true;
    answerStart_ = now;
    paceAt_.reset();
}

bool SimulatorServer::sendSome(Clock::time_point now)
{
    std::size_t want = answer_.size() - sent_;
    paceAt_.reset();
    if (holdTrailing_) {
        if (trailingAt_ && now < *trailingAt_) {
            paceAt_ = trailingAt_;
            return false;
        }
        if (trailingAt_)
            holdTrailing_ = false;
        else
            want = std::min(want, kFrameBytes - sent_);
    }
    if (answerRate_ > 0 && want > 0) {
        const double rate = answerRate_;
        const double due = std::floor(std::chrono::duration<double>(now - answerStart_).count() * rate);
        const std::size_t credit = due > static_cast<double>(sent_) ? static_cast<std::size_t>(due) - sent_ : 0;
        // Chunks of about a millisecond's worth keep the rate even without
        // waking (and writing) for every few bytes that fall due.
        const std::size_t chunk = std::max<std::size_t>(1, static_cast<std::size_t>(rate / 1000));
        if (credit < std::min(chunk, want)) {
            const double at = static_cast<double>(sent_ + std::min(chunk, want)) / rate;
            paceAt_ = answerStart_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at));
            return false;
        }
        want = std::min(want, credit);
    }
    if (options_.stallAfterBytes > 0)
        want = std::min<std::size_t>(want, options_.stallAfterBytes - bytesSent_);
    want = std::min(want, kWriteChunk);

    // Published with the write that completes the frame (or a short answer).
    if (!published_ && sent_ + want >= std::min(answer_.size(), kFrameBytes))
        publishAnswer();
    if (want > 0) {
        const ssize_t n = ::write(terminal_.masterFd(), answer_.data() + sent_, want);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                writeBlocked_ = true;
            else if (errno != EINTR)
                hungUp(now);
            return false;
        }
        sent_ += static_cast<std::size_t>(n);
        bytesSent_ += static_cast<std::size_t>(n);
        if (holdTrailing_ && sent_ == kFrameBytes)
            trailingAt_ = now + std::chrono::milliseconds(options_.trailingAfterMs);
    }
    if (sent_ == answer_.size()) {
        answering_ = false;
        finishAnswer(now);
    }
    if (options_.stallAfterBytes > 0 && bytesSent_ >= options_.stallAfterBytes) {
        // The instrument hangs for good: the rest of this answer and every
        // later one are never sent.
        stalled_ = true;
        answering_ = false;
        owedAnswers_ = 0;
        return false;
    }
    return true;
}

void SimulatorServer::publishAnswer()
{
    published_ = true;
    // The file first: whoever learns of the frame from the counter or from
    // its last byte can read the file at once.
    if (!options_.lastFrameFile.empty()) {
        std::string error;
        if (!korvane::replaceFile(options_.lastFrameFile, frame_.data(), frame_.size(), &error) && !frameFileFailed_) {
            std::fprintf(stderr, "zls740-sim: %s\n", error.c_str());
            frameFileFailed_ = true;
        }
    }
    state_.publishFrame(frame_);
    writeReport();
}

void SimulatorServer::finishAnswer(Clock::time_point now)
{
    ++answersCompleted_;
    if (options_.closeAfterFrames > 0 && !closedOnce_
        && answersCompleted_ >= static_cast<std::uint64_t>(options_.closeAfterFrames)) {
        closedOnce_ = true;
        phase_ = Phase::Draining;
        requestsAtDrain_ = requestsSeen();
        owedAnswers_ = 0;
        quietChecks_ = 0;
        drainCheckAt_ = now + kDrainCheckInterval;
        drainDeadline_ = now + kDrainLimit;
    }
}

void SimulatorServer::hungUp(Clock::time_point now)
{
    if (options_.serveDevice.empty()) {
        hangupUntil_ = now + kHangupPause;
        return;
    }
    // A served device that was hung up (its USB link gone, say) stays so
    // until it is opened again; the answer in progress is lost with it.
    goAway(now);
    reopenAt_ = now + kReopenRetry;
}

void SimulatorServer::checkDrained(Clock::time_point now)
{
    // The last answer should reach the viewer: closing the master discards
    // whatever the slave side has not read yet. Bytes written are counted as
    // unread only once the kernel has moved them to the slave's queue, which
    // a busy machine can put off for many milliseconds. A viewer that asks
    // again has had the whole answer (readRequests() goes away then); one
    // that does not ask is given long quiet before the link goes.
    quietChecks_ = terminal_.unreadBySlave() == 0 ? quietChecks_ + 1 : 0;
    if (quietChecks_ >= kQuietChecksToDrain || now >= drainDeadline_)
        goAway(now);
    else
        drainCheckAt_ = now + kDrainCheckInterval;
}

void SimulatorServer::goAway(Clock::time_point now)
{
    terminal_.close();
    state_.dropPending();
    state_.setLink(false, {});
    phase_ = Phase::Away;
    answering_ = false;
    writeBlocked_ = false;
    owedAnswers_ = 0;
    drainCheckAt_.reset();
    hangupUntil_.reset();
    if (options_.reopenAfterMs >= 0)
        reopenAt_ = now + std::chrono::milliseconds(options_.reopenAfterMs);
    writeReport();
}

void SimulatorServer::comeBack(Clock::time_point now)
{
    std::string error;
    if (!openLink(&error)) {
        std::fprintf(stderr, "zls740-sim: %s\n", error.c_str());
        reopenAt_ = now + kReopenRetry;
        return;
    }
    reopenAt_.reset();
}

void SimulatorServer::writeReport()
{
    if (options_.reportFile.empty())
        return;
    const auto now = Clock::now();
    if (lastReportAt_ && now < *lastReportAt_ + reportInterval_) {
        reportDueAt_ = *lastReportAt_ + reportInterval_;
        return;
    }
    lastReportAt_ = now;
    reportDueAt_.reset();
    const std::string text = state_.reportText();
    std::string error;
    if (!korvane::replaceFile(options_.reportFile, text.data(), text.size(), &error) && !reportFailed_) {
        std::fprintf(stderr, "zls740-sim: %s\n", error.c_str());
        reportFailed_ = true;
    }
    reportInterval_ = std::max<Clock::duration>(kReportInterval, (Clock::now() - now) * kReportDutyFactor);
}

}  // namespace zls740sim
