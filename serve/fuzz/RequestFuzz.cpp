// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
//
// Any bytes as a connection's first request, read as HttpSession reads it
// (its head gathered in a buffer of at most 8 KiB and judged, then parsed
// by Beast), then the routers of a loopback server and of one with an
// access token: no crash, no hang, and the rules no request may break (the
// router's and the head's tests check each case one by one). The head
// limit is checked against Beast's own count of the head's bytes, with no
// limit of its own.
#include "RequestHead.h"
#include "RequestRouter.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using korvane::RequestFacts;
using korvane::RequestHead;
using korvane::RequestRouter;
using korvane::Resource;
using korvane::Route;

constexpr std::string_view kToken = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

void check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
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

// Beast's count of the bytes of the head at the start of `received`, and
// of its fields, without any limit; false when it sees no whole head.
bool wholeHead(std::string_view received, std::size_t& bytes, std::size_t& fields)
{
    http::request_parser<http::empty_body> parser;
    parser.header_limit(std::numeric_limits<std::uint32_t>::max());
    parser.body_limit(std::numeric_limits<std::uint64_t>::max());
    beast::error_code ec;
    bytes = parser.put(boost::asio::buffer(received.data(), received.size()), ec);
    if (!parser.is_header_done())
        return false;
    fields = std::size_t(std::distance(parser.get().begin(), parser.get().end()));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view received(reinterpret_cast<const char*>(data), size);
    // What the session's buffer can hold; a head not ended there gets 431.
    const auto length = RequestHead::length(received.substr(0, RequestHead::kLongestHead));
    if (!length || RequestHead::startsBadly(received.substr(0, *length)))
        return 0;
    const std::string_view head = received.substr(0, *length);
    if (RequestHead::refusal(head))
        return 0;
    http::request_parser<http::string_body> parser;
    parser.header_limit(std::uint32_t(RequestHead::kLongestHead));
    parser.body_limit(std::numeric_limits<std::uint64_t>::max());
    beast::error_code ec;
    parser.put(boost::asio::buffer(head.data(), head.size()), ec);
    if (ec || !parser.is_header_done())
        return 0;  // 400

    const RequestFacts facts = RequestFacts::of(parser.get());
    const Route open = RequestRouter{""}.route(facts);
    const Route guarded = RequestRouter{std::string(kToken)}.route(facts);
    checkRoute(open);
    checkRoute(guarded);
    if (open.resource != Resource::Refused) {
        check(facts.host.empty() || RequestRouter::isLoopbackHost(facts.host),
              "a loopback server serves only under a loopback name");
        check(facts.contentLength <= RequestRouter::kLongestBody, "the body limit holds");
        std::size_t bytes = 0, fields = 0;
        check(wholeHead(received, bytes, fields) && bytes == head.size(), "the head judged is the head Beast reads");
        check(bytes <= RequestHead::kLongestHead && fields <= RequestHead::kMostFields,
              "a request served has a head of at most 8 KiB and 100 fields, every byte counted");
    }
    if (RequestRouter::queryValue(facts.target, "token") != kToken && !facts.authorization.ends_with(kToken))
        check(guarded.resource == Resource::Refused, "without its token a server serves nothing");
    return 0;
}
