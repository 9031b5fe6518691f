// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
//
// Any bytes through Beast's parser with the session's limits; a request it
// completes goes to the router of a loopback server and of one with an access
// token. Whatever the bytes: nothing but a refusal without the token, only
// the exact known paths served, commands only by POST, every refusal a 4xx.
#include "RequestRouter.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/field.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using korvane::RequestFacts;
using korvane::RequestRouter;
using korvane::Resource;
using korvane::Route;
using Request = http::request<http::string_body>;

// As HttpSession reads a request: its head and its body.
constexpr std::uint32_t kLongestHead = 8 * 1024;
constexpr std::uint64_t kLongestBody = 1024;
// A token as AccessToken makes them: 32 lower-case hexadecimal digits.
constexpr std::string_view kToken = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

void check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The whole request; nothing when the parser refuses the bytes (the session
// answers 400, 413 or 431) or they end too soon (it waits).
std::optional<Request> parse(std::string_view bytes)
{
    http::request_parser<http::string_body> parser;
    parser.header_limit(kLongestHead);
    parser.body_limit(kLongestBody);
    parser.eager(true);
    beast::error_code ec;
    parser.put(boost::asio::buffer(bytes.data(), bytes.size()), ec);
    if (ec || !parser.is_done())
        return std::nullopt;
    return parser.release();
}

std::string_view text(beast::string_view s)
{
    return {s.data(), s.size()};
}

// What ScreenServer::route takes from a request.
RequestFacts factsOf(const Request& request)
{
    RequestFacts facts;
    facts.method = text(request.method_string());
    facts.target = text(request.target());
    facts.host = text(request[http::field::host]);
    facts.origin = text(request[http::field::origin]);
    facts.upgrade = beast::websocket::is_upgrade(request);
    return facts;
}

std::string_view pathOf(Resource resource)
{
    static const std::pair<Resource, std::string_view> paths[] = {
        {Resource::Page, "/"},           {Resource::Live, "/live"},   {Resource::Png, "/screen.png"},
        {Resource::Bmp, "/screen.bmp"},  {Resource::Status, "/status.json"},
        {Resource::Pause, "/pause"},     {Resource::Colour, "/colour"}};
    for (const auto& [known, path] : paths)
        if (known == resource)
            return path;
    return {};
}

// What holds for any route of any request.
void checkRoute(const RequestFacts& facts, const Route& route)
{
    if (route.resource == Resource::Refused) {
        check(route.status >= 400 && route.status <= 499, "a refusal is a 4xx answer");
        check(!route.reason.empty(), "a refusal says why");
        check(!route.head, "a refusal is answered in full");
        check((route.status == 405) == !route.allow.empty(), "405, and only 405, names the methods allowed");
        return;
    }
    check(route.status == 200 && route.allow.empty(), "a route served is not a refusal");
    const std::string_view path = facts.target.substr(0, facts.target.find('?'));
    check(path == pathOf(route.resource), "only the exact known paths are served");
    const bool command = route.resource == Resource::Pause || route.resource == Resource::Colour;
    if (command) {
        check(facts.method == "POST" && !route.head, "commands are taken by POST alone");
    } else if (route.resource == Resource::Live) {
        check(facts.method == "GET" && facts.upgrade && !route.head, "the WebSocket is opened by a GET upgrade");
    } else {
        check(facts.method == "GET" || facts.method == "HEAD", "what is shown is taken by GET or HEAD");
        check(route.head == (facts.method == "HEAD"), "HEAD, and only HEAD, leaves the body out");
    }
    // Another site's page may not send commands or open the WebSocket.
    if ((command || route.resource == Resource::Live) && !facts.origin.empty() && !facts.host.empty())
        check(facts.origin.starts_with("http://") && equalNoCase(facts.origin.substr(7), facts.host),
              "commands come only from the server's own page");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<Request> whole = parse(bytes);
    if (!whole)
        return 0;
    check(whole->body().size() <= kLongestBody, "the body limit holds");

    const RequestFacts facts = factsOf(*whole);

    const RequestRouter loopbackServer{""};
    const RequestRouter tokenServer{std::string(kToken)};
    const Route open = loopbackServer.route(facts);
    const Route guarded = tokenServer.route(facts);
    checkRoute(facts, open);
    checkRoute(facts, guarded);

    if (open.resource != Resource::Refused)
        check(facts.host.empty() || RequestRouter::isLoopbackHost(facts.host),
              "a loopback server serves only under a loopback name");
    const bool tokenShown = RequestRouter::queryValue(facts.target, "token") == kToken;
    if (!tokenShown) {
        check(guarded.resource == Resource::Refused && (guarded.status == 401 || guarded.status == 400),
              "without its token a server refuses with 401, or 400 for what is no path at all");
        check((guarded.status == 400) == (open.status == 400), "400 is for the path, whatever the token");
    }

    // The same request showing the token: the token server then decides as a
    // loopback server does for a loopback name.
    std::string target(facts.target);
    target += target.find('?') == std::string::npos ? "?token=" : "&token=";
    target += kToken;
    RequestFacts withToken = facts;
    withToken.target = target;
    const Route admitted = tokenServer.route(withToken);
    checkRoute(withToken, admitted);
    if (RequestRouter::queryValue(target, "token") == kToken
        && (facts.host.empty() || RequestRouter::isLoopbackHost(facts.host))) {
        const Route local = loopbackServer.route(withToken);
        check(admitted.resource == local.resource && admitted.status == local.status && admitted.head == local.head,
              "with its token a server decides as a loopback one");
    }
    return 0;
}
