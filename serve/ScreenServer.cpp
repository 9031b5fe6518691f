// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ScreenServer.h"

#include "AccessToken.h"
#include "ConnectionSlot.h"
#include "DescriptorRoom.h"
#include "HttpSession.h"
#include "LinkReport.h"
#include "PeerAddress.h"
#include "PngWriter.h"
#include "ScreenMessage.h"
#include "ServePage.h"
#include "Version.h"
#include "ViewerSession.h"

#include <boost/asio/ip/host_name.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/http/field.hpp>
#include <boost/beast/http/status.hpp>
#include <boost/beast/http/write.hpp>

#include <sstream>
#include <vector>

namespace korvane {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;

namespace {

// How long after a loss, or a search that found nothing, the next look begins.
constexpr std::chrono::seconds kRetryDelay{3};
// How long accepting rests after a failure (no descriptor left, say).
constexpr std::chrono::milliseconds kAcceptPause{100};
// How often the screen rate is worked out, a changed state sent and
// viewers that take nothing looked for.
constexpr std::chrono::seconds kTickPeriod{1};
// Descriptors besides the connections: the instrument's port, the listening
// socket, standard streams, the engine's and Asio's own.
constexpr unsigned kOtherDescriptors = 64;
// Refused connections are told at most this often.
constexpr std::chrono::seconds kRefusalReportPeriod{10};

}  // namespace

ScreenServer::ScreenServer(asio::io_context& io, ServeCommandLine line, EngineConfig config, std::ostream& events)
    : io_(io)
    , line_(std::move(line))
    , log_(events)
    , book_(std::make_shared<ConnectionBook>(line_.caps))
    , acceptor_(io)
    , link_(std::move(config), line_.monochrome,
            [this](LiveLink::Event event) { asio::post(io_, [this, event] { onLinkEvent(event); }); })
    , acceptTimer_(io)
    , retryTimer_(io)
    , tickTimer_(io)
{
}

ScreenServer::~ScreenServer()
{
    // The engine's threads end before the state their events reach goes.
    link_.shutdown();
}

bool ScreenServer::listen(std::string* error)
{
    boost::system::error_code ec;
    tcp::resolver resolver(io_);
    const auto found = resolver.resolve(line_.listenHost, std::to_string(line_.listenPort),
                                        tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || found.empty()) {
        *error = "cannot find the address " + line_.listenHost + ": " + (ec ? ec.message() : "no such host");
        return false;
    }
    const tcp::endpoint endpoint = found.begin()->endpoint();
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor_.bind(endpoint, ec);
    if (!ec)
        acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        *error = "cannot serve on " + PeerAddress::text(endpoint) + ": " + ec.message();
        return false;
    }
    // Anyone who can reach a non-loopback address could watch and pause the
    // instrument: such a server asks for the token it prints.
    if (!endpoint.address().is_loopback()) {
        token_ = AccessToken::make();
        if (token_.empty()) {
            *error = "cannot make an access token: the system's random source cannot be read";
            return false;
        }
    }
    router_ = RequestRouter(token_);
    const unsigned room = DescriptorRoom::makeRoom(line_.caps.connections, kOtherDescriptors);
    if (room < line_.caps.connections) {
        say("the system lets this process open descriptors for " + std::to_string(room) + " connections, not "
            + std::to_string(line_.caps.connections) + ": at most " + std::to_string(room) + " are taken");
        line_.caps.connections = room;
        book_ = std::make_shared<ConnectionBook>(line_.caps);
    }
    return true;
}

std::string ScreenServer::url() const
{
    const tcp::endpoint endpoint = acceptor_.local_endpoint();
    std::string host = PeerAddress::text(endpoint);
    if (endpoint.address().is_unspecified()) {
        // Every address of this machine: its name is what others type.
        boost::system::error_code ec;
        const std::string name = asio::ip::host_name(ec);
        host = (ec || name.empty() ? std::string("localhost") : name) + ":" + std::to_string(endpoint.port());
    }
    std::string url = "http://" + host + "/";
    if (!token_.empty())
        url += "?token=" + token_;
    return url;
}

void ScreenServer::start()
{
    say("korvane-serve " + std::string(KORVANE_VERSION) + ": open " + url() + " in a browser");
    accept();
    lastTick_ = std::chrono::steady_clock::now();
    tick();
    looking_ = true;
    if (line_.port.empty()) {
        link_.beginSearch();
    } else {
        link_.usePort(line_.port);
        tryOpen();
    }
}

void ScreenServer::stop(int exitCode)
{
    if (stopping_)
        return;
    stopping_ = true;
    exitCode_ = exitCode;
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    acceptTimer_.cancel();
    retryTimer_.cancel();
    tickTimer_.cancel();
    link_.shutdown();
    io_.stop();
}

void ScreenServer::say(const std::string& line)
{
    log_.say(line);
}

void ScreenServer::accept()
{
    acceptor_.async_accept([this](boost::system::error_code ec, tcp::socket socket) {
        if (stopping_)
            return;
        if (!ec) {
            admit(std::move(socket));
            accept();
            return;
        }
        // Out of descriptors or the like: the connection waits in the
        // backlog; trying again at once would only spin.
        acceptTimer_.expires_after(kAcceptPause);
        acceptTimer_.async_wait([this](boost::system::error_code waitError) {
            if (!waitError && !stopping_)
                accept();
        });
    });
}

void ScreenServer::admit(tcp::socket socket)
{
    boost::system::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec)
        return;  // gone already
    std::string key = PeerAddress::capKey(peer.address());
    const auto verdict = book_->admit(key);
    if (verdict != ConnectionBook::Verdict::Admitted)
        return refuseAtOnce(socket, verdict);
    std::make_shared<HttpSession>(std::move(socket), *this, ConnectionSlot(book_, std::move(key)))->run();
}

void ScreenServer::refuseAtOnce(tcp::socket& socket, ConnectionBook::Verdict verdict)
{
    // No session, no timer, no read: the answer goes into the new socket's
    // empty send buffer without waiting, and the descriptor is free again
    // at once, however fast refused clients come back.
    countRefusal(verdict);
    std::ostringstream bytes;
    bytes << HttpAnswer::refusal(11, 503, book_->reason(verdict));
    const std::string text = std::move(bytes).str();
    boost::system::error_code ignored;
    socket.non_blocking(true, ignored);
    socket.write_some(asio::buffer(text), ignored);
    socket.shutdown(tcp::socket::shutdown_send, ignored);
    socket.close(ignored);
}

HttpResponse ScreenServer::refusal(const HttpRequest& request, ConnectionBook::Verdict verdict)
{
    countRefusal(verdict);
    return HttpAnswer::refusal(request.version(), 503, book_->reason(verdict));
}

void ScreenServer::countRefusal(ConnectionBook::Verdict verdict)
{
    switch (verdict) {
    case ConnectionBook::Verdict::ServerFull: ++refusedFull_; break;
    case ConnectionBook::Verdict::AddressFull: ++refusedAddress_; break;
    case ConnectionBook::Verdict::ViewersFull: ++refusedViewers_; break;
    case ConnectionBook::Verdict::Admitted: return;
    }
    // The first of a while is told at once; the rest in the next report.
    reportRefusals(std::chrono::steady_clock::now() - refusalsTold_ >= kRefusalReportPeriod);
}

void ScreenServer::reportRefusals(bool now)
{
    const std::uint64_t refused = refusedFull_ + refusedAddress_ + refusedViewers_;
    if (!now || refused == 0)
        return;
    say("refused " + std::to_string(refused) + " connection" + (refused == 1 ? "" : "s") + " for want of room ("
        + std::to_string(refusedFull_) + " with " + std::to_string(line_.caps.connections) + " open, "
        + std::to_string(refusedAddress_) + " from an address with " + std::to_string(line_.caps.perAddress) + " open, "
        + std::to_string(refusedViewers_) + " with " + std::to_string(line_.caps.viewers) + " viewers)");
    refusedFull_ = refusedAddress_ = refusedViewers_ = 0;
    refusalsTold_ = std::chrono::steady_clock::now();
}

// The link --------------------------------------------------------------

void ScreenServer::onLinkEvent(LiveLink::Event event)
{
    if (stopping_)
        return;
    switch (event) {
    case LiveLink::Event::Screen: takeScreen(); break;
    case LiveLink::Event::LinkLost: linkLost(); break;
    case LiveLink::Event::SearchOver: searchOver(); break;
    }
}

void ScreenServer::takeScreen()
{
    std::string snapshot;
    const std::uint64_t number = link_.newerSnapshot(screenNumber_, snapshot);
    if (number == 0)
        return;
    std::string message = ScreenMessage::encode(snapshot);
    if (message.empty())
        return;
    screenNumber_ = number;
    ++screens_;
    snapshot_ = std::move(snapshot);
    screenMessage_ = std::make_shared<const std::string>(std::move(message));
    for (const auto& viewer : viewers_)
        viewer->sendScreen(screenMessage_);
}

void ScreenServer::searchOver()
{
    const auto& reports = link_.engine().lastSearch();
    if (!reports.empty() && reports.back().verdict == ProbeVerdict::Instrument) {
        tryOpen();
        return;
    }
    complain(LinkReport::noInstrument(link_.engine()), "looking again");
}

void ScreenServer::tryOpen()
{
    if (link_.openLink()) {
        linkUp_ = true;
        looking_ = false;
        lastComplaint_.clear();
        portText_ = LinkReport::port(link_.engine());
        say("instrument found on " + portText_);
        broadcastStatus(true);
        return;
    }
    complain("cannot open the port " + LinkReport::port(link_.engine()) + ": "
                 + LinkReport::openFailure(link_.engine()),
             "trying again");
}

void ScreenServer::complain(const std::string& complaint, const char* again)
{
    if (line_.once) {
        say("korvane-serve: " + complaint);
        stop(1);
        return;
    }
    if (complaint != lastComplaint_)
        say(complaint + "; " + again + " every " + std::to_string(kRetryDelay.count()) + " s");
    lastComplaint_ = complaint;
    retryLater();
}

void ScreenServer::retryLater()
{
    looking_ = true;
    retryTimer_.expires_after(kRetryDelay);
    retryTimer_.async_wait([this](boost::system::error_code ec) {
        if (ec || stopping_)
            return;
        // A port named on the command line is where the instrument comes
        // back; otherwise it may come back on any of them.
        if (line_.port.empty())
            link_.beginSearch();
        else
            tryOpen();
    });
}

void ScreenServer::linkLost()
{
    if (!linkUp_)
        return;
    linkUp_ = false;
    say("instrument lost on " + portText_);
    broadcastStatus(true);
    if (line_.once) {
        stop(3);
        return;
    }
    retryLater();
}

// State ------------------------------------------------------------------

ServeStatus ScreenServer::status() const
{
    ServeStatus status;
    status.connected = linkUp_;
    status.looking = looking_;
    status.paused = link_.paused();
    status.colour = link_.colour();
    status.screens = screens_;
    status.viewers = unsigned(viewers_.size());
    status.port = portText_;
    status.screensPerSecond = linkUp_ && !link_.paused() ? screensPerSecond_ : 0.0;
    return status;
}

void ScreenServer::broadcastStatus(bool always)
{
    std::string json = status().json();
    if (!always && json == lastStatus_)
        return;
    lastStatus_ = json;
    const auto message = std::make_shared<const std::string>(std::move(json));
    for (const auto& viewer : viewers_)
        viewer->sendStatus(message);
}

void ScreenServer::tick()
{
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - lastTick_).count();
    if (seconds > 0)
        screensPerSecond_ = double(screens_ - screensAtTick_) / seconds;
    screensAtTick_ = screens_;
    lastTick_ = now;
    // Nothing goes out while nothing changes (paused, no instrument).
    broadcastStatus(false);
    dropStalledViewers();
    reportRefusals(now - refusalsTold_ >= kRefusalReportPeriod);
    tickTimer_.expires_after(kTickPeriod);
    tickTimer_.async_wait([this](boost::system::error_code ec) {
        if (!ec && !stopping_)
            tick();
    });
}

// Viewers ----------------------------------------------------------------

void ScreenServer::dropStalledViewers()
{
    // A viewer that takes nothing holds the screens queued for it in the
    // system; dropping it frees them. A copy: dropping changes viewers_.
    const auto now = std::chrono::steady_clock::now();
    for (const auto& viewer : std::vector(viewers_.begin(), viewers_.end()))
        if (viewer->stalled(now)) {
            say("viewer " + viewer->peer() + " dropped: it has taken nothing for "
                + std::to_string(ViewerSession::kStalledTime.count()) + " s");
            viewer->drop();
        }
}

void ScreenServer::join(const std::shared_ptr<ViewerSession>& viewer)
{
    viewers_.insert(viewer);
    say("viewer " + viewer->peer() + " joined (" + std::to_string(viewers_.size()) + " watching)");
    // The newcomer is told the state at once; the others see the new
    // number at the next tick, however many come and go before it.
    viewer->sendStatus(std::make_shared<const std::string>(status().json()));
    if (screenMessage_)
        viewer->sendScreen(screenMessage_);
}

void ScreenServer::leave(const std::shared_ptr<ViewerSession>& viewer)
{
    if (viewers_.erase(viewer) == 0)
        return;
    say("viewer " + viewer->peer() + " left (" + std::to_string(viewers_.size()) + " watching)");
}

// Requests ---------------------------------------------------------------

Route ScreenServer::route(const HttpRequest& request) const
{
    return router_.route(RequestFacts::of(request));
}

namespace {

HttpResponse response(const HttpRequest& request, http::status status, const char* type, std::string body)
{
    return HttpAnswer::make(request.version(), request.keep_alive(), status, type, std::move(body));
}

}  // namespace

HttpResponse ScreenServer::picture(const HttpRequest& request, bool png)
{
    if (snapshot_.empty())
        return response(request, http::status::service_unavailable, "text/plain; charset=utf-8",
                        "No screen yet: the instrument has not sent one\n");
    if (!png) {
        HttpResponse res = response(request, http::status::ok, "image/bmp", snapshot_);
        res.set(http::field::content_disposition, "inline; filename=\"Temp.bmp\"");
        return res;
    }
    if (pngNumber_ != screenNumber_) {
        std::ostringstream out;
        PngWriter::write(out, snapshot_);
        png_ = std::move(out).str();
        pngNumber_ = screenNumber_;
    }
    HttpResponse res = response(request, http::status::ok, "image/png", png_);
    res.set(http::field::content_disposition, "inline; filename=\"screen.png\"");
    return res;
}

HttpResponse ScreenServer::commandDone(const HttpRequest& request, const char* event)
{
    say(event);
    broadcastStatus(true);
    return response(request, http::status::ok, "application/json", status().json());
}

HttpResponse ScreenServer::answer(const HttpRequest& request, const Route& route)
{
    HttpResponse res;
    switch (route.resource) {
    case Resource::Page:
        res = response(request, http::status::ok, "text/html; charset=utf-8", std::string(ServePage::html()));
        break;
    case Resource::Png:
    case Resource::Bmp: res = picture(request, route.resource == Resource::Png); break;
    case Resource::Status: res = response(request, http::status::ok, "application/json", status().json()); break;
    case Resource::Pause:
        link_.setPaused(!link_.paused());
        res = commandDone(request, link_.paused() ? "paused by a viewer" : "resumed by a viewer");
        break;
    case Resource::Colour:
        link_.setColour(!link_.colour());
        res = commandDone(request, link_.colour() ? "colour chosen by a viewer" : "monochrome chosen by a viewer");
        break;
    case Resource::Live:
    case Resource::Refused:
        // A refused request may have left bytes that would be read as the
        // next one: the connection ends with the answer.
        res = HttpAnswer::refusal(request.version(), route.status, route.reason);
        if (!route.allow.empty())
            res.set(http::field::allow, route.allow);
        break;
    }
    if (route.head) {
        // HEAD: the fields of the GET answer, Content-Length included, no body.
        const auto length = res.body().size();
        res.body().clear();
        res.content_length(length);
    }
    return res;
}

}  // namespace korvane
