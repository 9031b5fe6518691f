// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "LiveLink.h"
#include "RequestRouter.h"
#include "ServeCommandLine.h"
#include "ServeStatus.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>

namespace korvane {

class ViewerSession;

using HttpRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

// korvane-serve's state, all on its one I/O thread: the instrument's link,
// the latest screen in the forms it is served in, the viewers, and the
// listening socket. Prints one line per event that matters to `events`.
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

    // For the sessions.
    Route route(const HttpRequest& request) const;
    HttpResponse answer(const HttpRequest& request, const Route& route);
    void join(const std::shared_ptr<ViewerSession>& viewer);
    void leave(const std::shared_ptr<ViewerSession>& viewer);

private:
    void accept();
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

    boost::asio::io_context& io_;
    ServeCommandLine line_;
    std::ostream& events_;
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
};

}  // namespace korvane
