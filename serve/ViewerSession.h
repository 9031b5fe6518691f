// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include "ConnectionSlot.h"
#include "ScreenServer.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <chrono>
#include <memory>
#include <string>

namespace korvane {

// One page watching over the WebSocket. It gets the newest screen when it is
// ready for one, never a queue of old ones: one message on its way and at
// most one screen and one state waiting, all shared with the other viewers.
// A viewer that never reads holds its socket, with a small send buffer,
// until the server drops it.
class ViewerSession : public std::enable_shared_from_this<ViewerSession> {
public:
    // A message that has not gone out in this time means a viewer that reads nothing.
    static constexpr std::chrono::seconds kStalledTime{10};

    ViewerSession(boost::asio::ip::tcp::socket socket, ScreenServer& server, ConnectionSlot slot);
    // Answers the upgrade; Beast refuses a bad one (no key, wrong version)
    // with 400 itself.
    void run(HttpRequest request);

    void sendScreen(std::shared_ptr<const std::string> message);
    void sendStatus(std::shared_ptr<const std::string> message);
    // "192.0.2.7:51234", for the event lines.
    const std::string& peer() const { return peer_; }
    // True when a message has waited to go out for kStalledTime.
    bool stalled(std::chrono::steady_clock::time_point now) const
    {
        return writing_ && now - writeStarted_ >= kStalledTime;
    }
    // Ends the viewer at once, with what the system still holds for it.
    void drop();

private:
    void read();
    void flush();
    void end();

    boost::beast::websocket::stream<boost::beast::tcp_stream> socket_;
    ScreenServer& server_;
    ConnectionSlot slot_;
    std::string peer_;
    boost::beast::flat_buffer incoming_;
    std::shared_ptr<const std::string> waitingScreen_;
    std::shared_ptr<const std::string> waitingStatus_;
    bool writing_ = false;
    bool lastWasStatus_ = false;
    std::chrono::steady_clock::time_point writeStarted_;
    bool open_ = false;
};

}  // namespace korvane
