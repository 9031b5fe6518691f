// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
//
// Any bytes through Beast's parser with the session's limits, then the
// routers of a loopback server and of one with an access token: no crash, no
// hang, and the rules no request may break (the router's test checks each
// route case by case).
#include "RequestRouter.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/field.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using korvane::RequestFacts;
using korvane::RequestRouter;
using korvane::Resource;
using korvane::Route;

// As HttpSession reads a request: its head and its body.
constexpr std::uint32_t kLongestHead = 8 * 1024;
constexpr std::uint64_t kLongestBody = 1024;
constexpr std::string_view kToken = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

void check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}

std::string_view text(beast::string_view s)
{
    return {s.data(), s.size()};
}

void checkRoute(const Route& route)
{
    if (route.resource == Resource::Refused) {
        check(route.status >= 400 && route.status <= 499 && !route.reason.empty(), "a refusal is a 4xx with a reason");
        check((route.status == 405) == !route.allow.empty(), "405, and only 405, names the methods allowed");
    } else {
        check(route.status == 200 && route.allow.empty(), "a route served is not a refusal");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    http::request_parser<http::string_body> parser;
    parser.header_limit(kLongestHead);
    parser.body_limit(kLongestBody);
    parser.eager(true);
    beast::error_code ec;
    parser.put(boost::asio::buffer(data, size), ec);
    // Refused (the session answers 400, 413 or 431) or not yet whole (it waits).
    if (ec || !parser.is_done())
        return 0;
    const http::request<http::string_body>& request = parser.get();
    check(request.body().size() <= kLongestBody, "the body limit holds");

    RequestFacts facts;
    facts.method = text(request.method_string());
    facts.target = text(request.target());
    facts.host = text(request[http::field::host]);
    facts.origin = text(request[http::field::origin]);
    facts.upgrade = beast::websocket::is_upgrade(request);

    const Route open = RequestRouter{""}.route(facts);
    const Route guarded = RequestRouter{std::string(kToken)}.route(facts);
    checkRoute(open);
    checkRoute(guarded);
    if (open.resource != Resource::Refused)
        check(facts.host.empty() || RequestRouter::isLoopbackHost(facts.host),
              "a loopback server serves only under a loopback name");
    if (RequestRouter::queryValue(facts.target, "token") != kToken)
        check(guarded.resource == Resource::Refused, "without its token a server serves nothing");
    return 0;
}
