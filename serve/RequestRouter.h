// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// What korvane-serve does with a request once it has been parsed.
enum class Resource {
    Page,     // GET /: the page
    Live,     // GET /live with a WebSocket upgrade
    Png,      // GET /screen.png
    Bmp,      // GET /screen.bmp
    Status,   // GET /status.json
    Pause,    // POST /pause: toggles Pause
    Colour,   // POST /colour: toggles colour and monochrome
    Refused,  // answered with `status` and `reason` alone; nothing changes
};

using HttpRequest = boost::beast::http::request<boost::beast::http::string_body>;

// The parts of a request that decide its fate.
struct RequestFacts {
    std::string_view method{};         // as sent: "GET"
    std::string_view target{};         // as sent: "/screen.png?token=..."
    unsigned version = 11;             // 11 for HTTP/1.1, 10 for HTTP/1.0
    std::string_view host{};           // the Host field; empty when there is none
    unsigned hosts = 1;                // how many Host fields came
    std::string_view origin{};         // the Origin field; empty when there is none
    std::string_view authorization{};  // the Authorization field; empty when there is none
    bool transferEncoding = false;     // a Transfer-Encoding field came, whatever its value
    std::uint64_t contentLength = 0;   // the body's length; 0 without one
    bool upgrade = false;              // asks for a WebSocket

    // The facts of a request Beast has parsed (its head at least).
    static RequestFacts of(const HttpRequest& request);
};

struct Route {
    Resource resource = Resource::Refused;
    int status = 200;
    std::string reason;  // for a refusal, one line for the person at the browser
    bool head = false;   // HEAD: the answer's fields without its body
    std::string allow;   // for 405: the methods the path takes
};

// Decides every request: token, path, method. Knows nothing of sockets, so
// it can be tried with any bytes.
class RequestRouter {
public:
    // `token` empty: the server listens on loopback and needs none; then a
    // request must name a loopback host, so that a web page from elsewhere
    // cannot reach the server through a name that points at this machine.
    explicit RequestRouter(std::string token)
        : token_(std::move(token))
    {
    }

    Route route(const RequestFacts& request) const;

    // A body on a command is read and dropped up to this length; longer gets 413.
    static constexpr std::uint64_t kLongestBody = 1024;

    // A refusal with `status` and its one line; `allow` for 405.
    static Route refusal(int status, std::string reason, std::string allow = {});

    // The value of `name` in a target's query ("a=1&token=x"), undecoded;
    // empty when it is missing.
    static std::string_view queryValue(std::string_view target, std::string_view name);
    // True for a Host field naming this machine's loopback ("localhost",
    // "127.0.0.1:8740", "[::1]").
    static bool isLoopbackHost(std::string_view host);

private:
    std::string token_;
};

}  // namespace korvane
