// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include "PseudoTerminal.h"
#include "SimulatorOptions.h"
#include "Zls740Simulator.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <string>
#include <vector>

namespace zls740sim {

class SimulatorState;

// The instrument's side of the link: reads requests from the pseudo-terminal
// and answers them as the options say. run() is one event loop that blocks in
// poll() on the master and on the wake descriptor, so it never spins and
// returns as soon as the wake descriptor becomes readable.
class SimulatorServer {
public:
    SimulatorServer(SimulatorOptions options, std::string linkPath, std::vector<Frame> replayFrames,
                    SimulatorState& state, int wakeFd);

    // Creates the first pseudo-terminal and the link (before run()).
    bool openLink(std::string* error);
    void run();
    // Removes the link and closes the pseudo-terminal (after run()).
    void closeLink();

private:
    using Clock = std::chrono::steady_clock;
    enum class Phase {
        Serving,
        // The last answer before the instrument vanishes is out; waiting for
        // the viewer to read it before the link goes away.
        Draining,
        // No pseudo-terminal; maybe coming back at `reopenAt_`.
        Away,
    };

    // What is due at `now` (chatter, the next bytes of an answer, the drain
    // check, coming back, the report); true when more can be sent at once.
    bool doDueWork(Clock::time_point now);
    // Fills in `master` when the master end is to be watched.
    bool watchMaster(pollfd& master) const;
    // Waits in ppoll() until an event or the next deadline (not at all when
    // `moreNow`); false when the wait failed for good.
    bool waitForEvents(pollfd* fds, nfds_t count, bool moreNow, Clock::time_point now) const;
    void serveMaster(short revents, Clock::time_point now);
    void readRequests(Clock::time_point now);
    void beginAnswer(Clock::time_point now);
    // Writes what the link takes and the pace allows; true when it could go
    // on at once.
    bool sendSome(Clock::time_point now);
    void publishAnswer();
    void finishAnswer(Clock::time_point now);
    // The far end hung up: pause a pseudo-terminal, reopen a served device.
    void hungUp(Clock::time_point now);
    void checkDrained(Clock::time_point now);
    void goAway(Clock::time_point now);
    void comeBack(Clock::time_point now);
    void writeReport();
    std::optional<Clock::time_point> nextDeadline() const;
    void chatter(Clock::time_point now);
    std::uint64_t requestsSeen() const;

    const SimulatorOptions options_;
    const std::string linkPath_;
    const std::vector<Frame> replayFrames_;
    SimulatorState& state_;
    const int wakeFd_;
    PseudoTerminal terminal_;
    Phase phase_ = Phase::Serving;

    // The answer being sent: the frame and what goes on the wire.
    bool answering_ = false;
    Frame frame_{};
    std::vector<std::uint8_t> answer_;
    std::size_t sent_ = 0;
    bool published_ = false;
    // Bytes per second of this answer; zero: unpaced.
    double answerRate_ = 0;
    // This answer's trailing bytes wait until `trailingAt_`, set once the
    // frame is out.
    bool holdTrailing_ = false;
    std::optional<Clock::time_point> trailingAt_;
    Clock::time_point answerStart_;
    // The link took no more bytes; wait for POLLOUT.
    bool writeBlocked_ = false;
    // Paced: when the next chunk is due.
    std::optional<Clock::time_point> paceAt_;

    std::uint64_t owedAnswers_ = 0;
    std::uint64_t answersBegun_ = 0;
    std::uint64_t answersCompleted_ = 0;
    std::uint64_t bytesSent_ = 0;
    bool stalled_ = false;
    bool closedOnce_ = false;

    std::optional<Clock::time_point> drainCheckAt_;
    Clock::time_point drainDeadline_;
    int quietChecks_ = 0;
    std::uint64_t requestsAtDrain_ = 0;
    std::optional<Clock::time_point> reopenAt_;
    // After an unexpected hang-up of the master, leave it out of poll() for
    // a while instead of waking on it again and again.
    std::optional<Clock::time_point> hangupUntil_;

    std::optional<Clock::time_point> lastReportAt_;
    Clock::duration reportInterval_{};
    // A report held back by the rate limit, to be written then.
    std::optional<Clock::time_point> reportDueAt_;
    bool reportFailed_ = false;
    bool frameFileFailed_ = false;
    std::optional<Clock::time_point> chatterAt_;
    std::uint64_t chatterLines_ = 0;
};

}  // namespace zls740sim
