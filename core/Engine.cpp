// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "Engine.h"

#include "AtomicFile.h"
#include "LogFile.h"
#include "PortNames.h"
#include "ProcessLauncher.h"
#include "SnapshotWriter.h"
#include "Utf8Path.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <vector>

namespace korvane {

namespace {

// A request must be written within 100 ms a byte plus 100 ms.
constexpr int kWriteLimitMs = 100 * 4 + 100;
// An answer ends with its 40960th byte, or once more than 50 ms pass between
// two bytes, or at the latest after 50 ms a byte plus 100 ms; until the first
// byte only that total limit applies.
constexpr ReadLimits kAnswerLimits{0, 50, 50 * int(kFrameBytes) + 100};
// The line counts as quiet once no byte came for the gap time of an answer;
// a line that never goes quiet is given up on after two seconds.
constexpr int kQuietGapMs = 50;
constexpr int kQuietLineLimitMs = 2000;

constexpr std::uint8_t kLogConnect = 'C';
// A failed open is logged with the second and third bytes of the request.
constexpr std::uint8_t kLogOpenFailed[2] = {screenRequest[1], screenRequest[2]};

}  // namespace

Engine::Engine(EngineHost& host, EngineConfig config)
    : host_(host)
    , config_(std::move(config))
{
}

Engine::~Engine()
{
    shutdown();
}

void Engine::initEngine()
{
    flags_.setConnected(0);
    flags_.setPaused(0);
    flags_.setColorMode(1);
    portFound_ = false;

    workDir_ = config_.workDir;
    if (workDir_.empty()) {
        std::error_code error;
        workDir_ = utf8FromPath(std::filesystem::current_path(error));
        if (error)
            workDir_ = ".";
    }
    if (logFile_)
        std::fclose(logFile_);
    // Created anew, empty, at every start. A log that cannot be created is no
    // reason not to show the instrument; its writes are then skipped. Not
    // handed on to the image tool.
    logFile_ = config_.linkLog ? createLogFile(filePath("log.txt")) : nullptr;
}

std::string Engine::filePath(const char* name) const
{
    return utf8FromPath(pathFromUtf8(workDir_) / name);
}

void Engine::logBytes(const std::uint8_t* bytes, std::size_t size)
{
    if (!logFile_)
        return;
    std::fwrite(bytes, 1, size, logFile_);
    std::fflush(logFile_);
}

void Engine::findScope(std::stop_token stop)
{
    ProbeSettings settings = config_.probe;
    settings.baudRate = config_.baudRate;
    lastSearch_ = PortSearch::search(workDir_, settings, stop);
    if (lastSearch_.empty())
        return;
    portName_ = lastSearch_.back().portName;
    if (lastSearch_.back().verdict == ProbeVerdict::Instrument)
        portFound_ = true;
}

void Engine::beginSearch()
{
    if (searcher_.joinable())
        searcher_.join();
    searcher_ = std::jthread([this](std::stop_token stop) {
        findScope(stop);
        host_.searchFinished();
    });
}

ConnectStart Engine::beginConnect()
{
    if (flags_.isConnected() == 1)
        return ConnectStart::Nothing;
    if (portFound_)
        return ConnectStart::OpenNow;
    beginSearch();
    return ConnectStart::Searching;
}

int Engine::openLink()
{
    // `connected` is cleared only once the reader thread is done with the
    // port, so it alone tells whether a link is up (or its loss not yet
    // acknowledged): never a second reader thread.
    if (flags_.isConnected() == 1)
        return 0;
    if (searcher_.joinable())
        searcher_.join();

    // A reader thread that ended itself after a lost link is joined here, so
    // that at most one ever runs.
    if (reader_.joinable()) {
        reader_.request_stop();
        reader_.join();
    }

    screen_.loadHeader(HeaderTemplate::load(
        {filePath("header2.bin"),
         config_.programDir.empty() ? std::string() : utf8FromPath(pathFromUtf8(config_.programDir) / "header2.bin")},
        &headerSource_));
    logBytes(&kLogConnect, 1);

    portHandle_.clearInterrupt();
    lastOpenResult_ = portHandle_.open(PortNames::resolve(workDir_, portName_));
    lastOpenError_ = lastOpenResult_ == PortResult::Ok ? std::string() : portHandle_.errorText();
    if (lastOpenResult_ != PortResult::Ok) {
        logBytes(kLogOpenFailed, sizeof kLogOpenFailed);
        host_.openFailed();
        return -1;
    }
    if (config_.baudRate > 0)
        portHandle_.setBaudRate(config_.baudRate);
    requestsSent_ = 0;
    flags_.setConnected(1);
    portHandle_.purgeReceive();
    portHandle_.purgeTransmit();
    reader_ = std::jthread([this](std::stop_token stop) { readerLoop(stop); });
    return 0;
}

// What the reader knows of the line before its next request.
enum class Engine::LineState {
    // The link's first request: the rest of an answer to an earlier request
    // (the search's, cut short) may still be on its way.
    Opened,
    // An answer was cut short, dropped or never read: bytes of it may still
    // come.
    Unsettled,
    // Quiet when last looked at (purged after a frame, then paused):
    // whatever came since is stale.
    Quiet,
    // Purged right after a frame, so bytes that came before were looked for
    // then (one system call a screen saved); the request goes out at once.
    Purged,
};

// Where an answer ends. A frame is known by its length alone, so bytes an
// instrument sends after a whole frame would shift the next picture if they
// arrived after the purge. Once such bytes have been seen, every answer is
// read to its end before its frame counts.
enum class Engine::AnswerEnd {
    AtFrameLength,  // with its 40960th byte
    AtQuietLine,    // once the line has been quiet for the gap time
};

struct Engine::ReaderState {
    LineState line = LineState::Opened;
    AnswerEnd answerEnd = AnswerEnd::AtFrameLength;
};

void Engine::readerLoop(std::stop_token stop)
{
    // Stopping wakes a read or write that waits on the port.
    std::stop_callback wake(stop, [this] { portHandle_.interrupt(); });
    ReaderState reader;
    while (!stop.stop_requested() && flags_.isConnected() != 0) {
        if (flags_.isPaused() == 1) {
            flags_.waitWhilePaused(stop);
            // The purge came before the pause: bytes may have come since.
            if (reader.line == LineState::Purged)
                reader.line = LineState::Quiet;
        } else if (settleLine(reader)) {
            reader.line = takeScreen(reader, stop) ? LineState::Purged : LineState::Unsettled;
        }
    }
}

bool Engine::settleLine(ReaderState& reader)
{
    if (reader.line == LineState::Purged)
        return true;
    // Bytes before a request belong to no answer: an earlier one was longer
    // than a frame.
    if (portHandle_.discardPending() > 0) {
        reader.answerEnd = AnswerEnd::AtQuietLine;
        if (reader.line == LineState::Quiet)
            reader.line = LineState::Unsettled;
    }
    // An answer must not begin while bytes of an earlier one still come:
    // they would count as the start of the frame. This holds after a short
    // answer too: its rest, late on a busy machine or a slow bridge, would
    // make the next frame half of one screen and half of another.
    const bool bytesMayCome = reader.line == LineState::Opened || reader.line == LineState::Unsettled;
    return !bytesMayCome || awaitQuietLine();
}

bool Engine::takeScreen(ReaderState& reader, std::stop_token stop)
{
    const std::uint64_t request = sendRequest(stop);
    if (request == 0 || !receiveFrame(stop) || !answerEnded(reader))
        return false;
    publishScreen(request);
    return true;
}

std::uint64_t Engine::sendRequest(std::stop_token stop)
{
    std::size_t written = 0;
    const PortResult sent = portHandle_.write(screenRequest, sizeof screenRequest, written, kWriteLimitMs);
    if (sent == PortResult::Interrupted)
        return 0;
    if (written < sizeof screenRequest) {
        loseLink(stop);
        return 0;
    }
    return ++requestsSent_;
}

bool Engine::receiveFrame(std::stop_token stop)
{
    std::size_t got = 0;
    const PortResult answered = portHandle_.read(receiveBuffer_.data(), kFrameBytes, got, kAnswerLimits);
    if (answered == PortResult::OsFailure) {
        // The device itself is gone (unplugged, far end hung up): asking
        // again would only spin.
        loseLink(stop);
        return false;
    }
    // A short answer is dropped; the next request follows once the line is
    // quiet.
    return answered != PortResult::Interrupted && got == kFrameBytes;
}

bool Engine::answerEnded(ReaderState& reader)
{
    const bool trailingBytes = portHandle_.discardPending() > 0;
    if (reader.answerEnd == AnswerEnd::AtQuietLine)
        return awaitQuietLine();
    if (!trailingBytes)
        return true;
    // The first overlong answer: whether stale bytes led it cannot be told,
    // so its frame is dropped.
    reader.answerEnd = AnswerEnd::AtQuietLine;
    return false;
}

void Engine::publishScreen(std::uint64_t request)
{
    std::copy(receiveBuffer_.begin(), receiveBuffer_.end(), screen_.frameBuffer().begin());
    portHandle_.purgeReceive();
    portHandle_.purgeTransmit();
    screen_.publishFrame(flags_.isColorMode() == 1 ? 1 : 0, request);
    host_.screenPublished();
}

bool Engine::awaitQuietLine()
{
    std::array<std::uint8_t, 4096> scratch;
    using Clock = std::chrono::steady_clock;
    const auto giveUp = Clock::now() + std::chrono::milliseconds(kQuietLineLimitMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(giveUp - Clock::now()).count();
        if (left <= 0)
            return false;
        // Quiet means a whole gap time without a single byte; bytes still
        // coming are dropped and the gap starts again.
        const int window = static_cast<int>(std::min<long long>(kQuietGapMs, left));
        std::size_t got = 0;
        const PortResult result = portHandle_.read(scratch.data(), scratch.size(), got, ReadLimits{window, 0, window});
        if (result == PortResult::TimedOut)
            return window == kQuietGapMs;
        // A line that has hung up sends nothing more: the frame before it
        // is whole (the next request then finds the link gone).
        if (result == PortResult::OsFailure)
            return true;
        if (result != PortResult::Ok)
            return false;
    }
}

void Engine::loseLink(std::stop_token stop)
{
    {
        std::lock_guard lock(errorLock_);
        errorPending_ = true;
    }
    host_.linkLost();
    {
        std::unique_lock lock(errorLock_);
        errorAcknowledged_.wait(lock, stop, [this] { return !errorPending_; });
    }
    if (stop.stop_requested())
        return;  // shutdown() closes the port once this thread has ended
    portHandle_.close();
    flags_.setConnected(0);
    // The view shows the link's end rather than a picture that looks live.
    host_.linkClosed();
}

void Engine::acknowledgeConnectionError()
{
    {
        std::lock_guard lock(errorLock_);
        errorPending_ = false;
    }
    errorAcknowledged_.notify_all();
}

std::string Engine::imageToolPath() const
{
    const std::string program = ProcessLauncher::programFileName("Pictorix");
    const std::string local = filePath(program.c_str());
    if (ProcessLauncher::isExecutable(local))
        return local;
    if (!config_.programDir.empty()) {
        const std::string beside = utf8FromPath(pathFromUtf8(config_.programDir) / program);
        if (ProcessLauncher::isExecutable(beside))
            return beside;
    }
    return {};
}

ExportResult Engine::exportSnapshot()
{
    host_.exportStarted();
    std::ostringstream out;
    if (!screen_.read([&](const ScreenView& view) { SnapshotWriter::write(out, view); }))
        return ExportResult::NoScreen;
    const std::string snapshot = std::move(out).str();
    if (!replaceFile(filePath("Temp.bmp"), snapshot.data(), snapshot.size()))
        return ExportResult::WriteFailed;
    const std::string tool = imageToolPath();
    if (tool.empty() || !ProcessLauncher::startDetached(tool, workDir_))
        return ExportResult::ToolNotStarted;
    return ExportResult::Started;
}

void Engine::shutdown()
{
    if (searcher_.joinable()) {
        searcher_.request_stop();
        searcher_.join();
    }
    if (reader_.joinable()) {
        reader_.request_stop();
        reader_.join();
    }
    portHandle_.close();
    flags_.setConnected(0);
    if (logFile_) {
        std::fclose(logFile_);
        logFile_ = nullptr;
    }
}

}  // namespace korvane
