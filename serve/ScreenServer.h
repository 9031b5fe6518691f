// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "ConnectionBook.h"
#include "EventLog.h"
#include "HttpAnswer.h"
#include "LiveLink.h"
#include "RequestRouter.h"
#include "ServeCommandLine.h"
#include "ServeStatus.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>

namespace korvane {

class ViewerSession;

// korvane-serve's state, all on its one I/O thread: the instrument's link,
// the latest screen in the forms it is served in, the viewers, and the
// listening socket, which admits connections within the caps and refuses
// the others at once. Prints one line per event that matters to `events`,
// from a thread of its own.
class ScreenServer {
public:
    ScreenServer(boost::asio::io_context& io, ServeCommandLine line, EngineConfig config, std::ostream& events);
    ~ScreenServer();
    ScreenServer(const ScreenServer&) = delete;
    ScreenServer& operator=(const ScreenServer&) = delete;

    // Binds the listening socket; false, with the reason, when it cannot.
    bool listen(std::string* error);
    // The address to open in a browser, with the access token when one is needed.
    std::string url() const;
    // Starts accepting and looking for the instrument.
    void start();
    // Ends everything: the I/O context's run() returns soon after.
    void stop(int exitCode);
    // 0 unless the server ended itself (--once: 1 no instrument, 3 lost).
    int exitCode() const { return exitCode_; }
    // Connections open now, viewers included; on the I/O thread.
    unsigned connections() const { return book_->connections(); }

    // For the sessions.
    Route route(const HttpRequest& request) const;
    HttpResponse answer(const HttpRequest& request, const Route& route);
    // The 503 for a connection the caps leave no room for.
    HttpResponse refusal(const HttpRequest& request, ConnectionBook::Verdict verdict);
    void join(const std::shared_ptr<ViewerSession>& viewer);
    void leave(const std::shared_ptr<ViewerSession>& viewer);

private:
    void accept();
    void admit(boost::asio::ip::tcp::socket socket);
    void refuseAtOnce(boost::asio::ip::tcp::socket& socket, ConnectionBook::Verdict verdict);
    void countRefusal(ConnectionBook::Verdict verdict);
    void reportRefusals(bool now);
    void dropStalledViewers();
    void complain(const std::string& complaint, const char* again);
    void onLinkEvent(LiveLink::Event event);
    void takeScreen();
    void searchOver();
    void tryOpen();
    void retryLater();
    void linkLost();
    void tick();
    ServeStatus status() const;
    void broadcastStatus(bool always);
    void say(const std::string& line);
    HttpResponse picture(const HttpRequest& request, bool png);
    HttpResponse commandDone(const HttpRequest& request, const char* event);

    boost::asio::io_context& io_;
    ServeCommandLine line_;
    EventLog log_;
    std::shared_ptr<ConnectionBook> book_;
    boost::asio::ip::tcp::acceptor acceptor_;
    std::string token_;
    RequestRouter router_{""};
    LiveLink link_;
    boost::asio::steady_timer acceptTimer_;
    boost::asio::steady_timer retryTimer_;
    boost::asio::steady_timer tickTimer_;
    bool stopping_ = false;
    int exitCode_ = 0;

    bool linkUp_ = false;
    bool looking_ = false;
    std::string lastComplaint_;  // said once until it changes
    std::string portText_;

    std::uint64_t screenNumber_ = 0;  // the engine's number of the latest screen
    std::uint64_t screens_ = 0;
    std::uint64_t screensAtTick_ = 0;
    std::chrono::steady_clock::time_point lastTick_;
    double screensPerSecond_ = 0;
    std::string snapshot_;  // the latest screen as Temp.bmp
    std::string png_;       // made on request, for screenNumber_
    std::uint64_t pngNumber_ = 0;
    std::shared_ptr<const std::string> screenMessage_;
    std::string lastStatus_;

    std::set<std::shared_ptr<ViewerSession>> viewers_;
    // Refusals since they were last told, by reason, and when that was.
    std::uint64_t refusedFull_ = 0;
    std::uint64_t refusedAddress_ = 0;
    std::uint64_t refusedViewers_ = 0;
    std::chrono::steady_clock::time_point refusalsTold_;
};

}  // namespace korvane
