// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#pragma once

#include "EngineHost.h"
#include "HeaderTemplate.h"
#include "LinkFlags.h"
#include "PortSearch.h"
#include "ScreenImage.h"
#include "SerialPort.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane {

struct EngineConfig {
    // The folder of the viewer's files (header2.bin, log.txt, Temp.bmp and the
    // image tool). Empty: the current directory when initEngine() runs.
    std::string workDir;
    // The folder of the running viewer program. Where `workDir` lacks them,
    // header2.bin and Pictorix are taken from here. Empty: nowhere else.
    std::string programDir;
    // How the search looks at each port (its time limits).
    ProbeSettings probe;
    // Bits per second set on the port at every open; 0 keeps the port's own
    // rate (the viewer's way: set it once with stty).
    int baudRate = 0;
    // Keep the link log log.txt in workDir. Off (a capture beside a running
    // viewer): initEngine() neither creates nor empties it, nothing is logged.
    bool linkLog = true;
};

// Connect's first step, as Engine::beginConnect() takes it.
enum class ConnectStart {
    Nothing,    // the link is up: Connect does nothing at all
    OpenNow,    // an earlier search found the port: openLink() at once
    Searching,  // a search has begun: openLink() after searchFinished()
};

enum class ExportResult {
    Started,         // snapshot written and the image tool started
    NoScreen,        // no screen decoded yet: nothing written, nothing started
    WriteFailed,     // the snapshot could not be written; the tool was not started
    ToolNotStarted,  // the snapshot was written; the image tool could not be started
};

// The screen acquisition engine: finds the instrument, keeps the link, pulls
// screens on a reader thread of its own and decodes them into the screen
// image, and exports a screen for the image tool.
//
// Every operation but the flag accessors, acknowledgeConnectionError() and
// screen().read() belongs to the window thread.
class Engine {
public:
    explicit Engine(EngineHost& host, EngineConfig config = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Start-up: the flags, workDir, and log.txt created anew (empty).
    void initEngine();

    // Probes COM9 down to COM2 with one screen request each; the first port
    // that answers with more than 10 bytes becomes `portName` and sets
    // `portFound`. With no answer, `portName` is COM2, the last one tried.
    // Each port takes at most about two seconds whatever it sends; devices
    // that talk unasked are passed over without a request (PortSearch).
    // `stop` ends the search within milliseconds.
    void findScope(std::stop_token stop = {});
    // findScope() on a thread of the engine's own; EngineHost::searchFinished()
    // tells when it is over. Nothing else may use the engine's port name
    // meanwhile; openLink() and shutdown() wait for the search to end
    // (shutdown() stops it first).
    void beginSearch();
    // Connect's first step, on the window thread; the window must not call
    // it again while a search it began still runs. While the link is up
    // nothing is done, not even a probe: probing would send requests into
    // the port that the reader thread is using. Until a search has found the
    // instrument, every Connect searches anew, on the engine's thread
    // (beginSearch()), so that the window keeps painting and Exit keeps
    // working meanwhile.
    ConnectStart beginConnect();
    // What the last search found, port by port.
    const std::vector<ProbeReport>& lastSearch() const { return lastSearch_; }

    // Connect: reloads the header template, logs "C", opens `portName`, sets
    // connected and starts the reader thread. 0 when the link is up, -1
    // (with 00 00 logged and EngineHost::openFailed()) when the port cannot be opened.
    int openLink();

    // Names the port for openLink() without a probe: COMn (looked up as the
    // probe does) or a device path.
    void setPortName(std::string name) { portName_ = std::move(name); }
    // Why the last openLink() could not open the port: the result and the
    // system's words (empty after a successful open).
    PortResult lastOpenResult() const { return lastOpenResult_; }
    const std::string& lastOpenError() const { return lastOpenError_; }

    // Requests written on this link so far; each screen tells which one it
    // answered (ScreenView::requestNumber). Any thread.
    std::uint64_t requestsSent() const { return requestsSent_.load(); }

    // Writes the latest screen as Temp.bmp in workDir and starts the image tool.
    ExportResult exportSnapshot();

    // The end of the program: ends the reader thread (also inside a port read
    // or while the connection error waits for the user), then closes the port
    // and log.txt. Idempotent; the destructor calls it.
    void shutdown();

    // Any thread: the user has closed "DSO Connection Error".
    void acknowledgeConnectionError();

    // The shared flags: connected, paused, colorMode.
    std::int32_t isConnected() const { return flags_.isConnected(); }
    void setConnected(std::int32_t v) { flags_.setConnected(v); }
    std::int32_t isPaused() const { return flags_.isPaused(); }
    void setPaused(std::int32_t v) { flags_.setPaused(v); }
    std::int32_t isColorMode() const { return flags_.isColorMode(); }
    void setColorMode(std::int32_t v) { flags_.setColorMode(v); }

    bool portFound() const { return portFound_; }
    const std::string& portName() const { return portName_; }
    const std::string& workDir() const { return workDir_; }
    std::string filePath(const char* name) const;
    const ScreenImage& screen() const { return screen_; }
    // Where the header of the last connect came from.
    HeaderTemplate::Source headerSource() const { return headerSource_; }
    // The image tool that exportSnapshot() would start; empty if there is none.
    std::string imageToolPath() const;

private:
    enum class LineState;
    enum class AnswerEnd;
    struct ReaderState;

    // Asks for screens while connected, one request at a time: each turn
    // either sleeps while paused, or settles the line and takes a screen.
    void readerLoop(std::stop_token stop);
    // Makes the line ready for the next request: drops stale bytes and waits
    // for a quiet line where bytes of an earlier answer may still come;
    // false if it would not go quiet or the wait was interrupted.
    bool settleLine(ReaderState& reader);
    // One request, its answer and, when that is one whole frame, its screen
    // published; false when no screen came of it.
    bool takeScreen(ReaderState& reader, std::stop_token stop);
    // The request's number, or 0 when it was not written (stopped, or the
    // link lost on a short write).
    std::uint64_t sendRequest(std::stop_token stop);
    // Reads an answer into receiveBuffer_; true when it is a whole frame.
    bool receiveFrame(std::stop_token stop);
    // Whether the frame just read may count: its answer ended with it, or
    // (once answers have run long) the line went quiet after it.
    bool answerEnded(ReaderState& reader);
    void publishScreen(std::uint64_t request);
    void loseLink(std::stop_token stop);
    // Drops bytes until the line has been quiet for an answer's gap time;
    // false if it would not go quiet or the wait was interrupted.
    bool awaitQuietLine();
    void logBytes(const std::uint8_t* bytes, std::size_t size);

    EngineHost& host_;
    EngineConfig config_;
    std::string workDir_;
    LinkFlags flags_;
    ScreenImage screen_;
    SerialPort portHandle_;
    std::string portName_ = "COM2";
    bool portFound_ = false;
    std::vector<ProbeReport> lastSearch_;
    PortResult lastOpenResult_ = PortResult::Ok;
    std::string lastOpenError_;
    std::atomic<std::uint64_t> requestsSent_{0};
    std::FILE* logFile_ = nullptr;
    HeaderTemplate::Source headerSource_ = HeaderTemplate::Source::BuiltIn;
    std::array<std::uint8_t, kFrameBytes> receiveBuffer_{};

    std::mutex errorLock_;
    std::condition_variable_any errorAcknowledged_;
    bool errorPending_ = false;

    std::jthread searcher_;
    std::jthread reader_;
};

}  // namespace korvane
