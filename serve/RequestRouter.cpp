// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "RequestRouter.h"

#include "AccessToken.h"

#include <boost/beast/http/field.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <optional>

namespace korvane {

namespace {

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Paths are matched exactly; anything that looks like a way around that
// (dot segments, encoded characters, backslashes) is refused outright.
bool isPlainPath(std::string_view path)
{
    if (path.find('%') != std::string_view::npos || path.find('\\') != std::string_view::npos
        || path.find("//") != std::string_view::npos)
        return false;
    for (std::size_t at = path.find("/."); at != std::string_view::npos; at = path.find("/.", at + 1)) {
        const std::string_view rest = path.substr(at + 1);
        if (rest == "." || rest == ".." || rest.starts_with("./") || rest.starts_with("../"))
            return false;
    }
    return true;
}

// A name, an IPv4 address or a bracketed IPv6 one, and a port: nothing a
// reader could take for user information ("user@host") or a path.
bool isPlainHost(std::string_view host)
{
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == ':' || c == '['
            || c == ']';
    });
}

// The token of "Authorization: Bearer <token>"; empty for any other field.
std::string_view bearerToken(std::string_view authorization)
{
    constexpr std::string_view scheme = "bearer ";
    if (authorization.size() <= scheme.size() || !equalNoCase(authorization.substr(0, scheme.size()), scheme))
        return {};
    std::string_view token = authorization.substr(scheme.size());
    while (token.starts_with(' '))
        token.remove_prefix(1);
    return token;
}

// Fields that one reader of the request may take otherwise than another (a
// proxy in front, say): refused before anything else is looked at.
std::optional<Route> framingRefusal(const RequestFacts& request)
{
    if (request.transferEncoding)
        return RequestRouter::refusal(400, "Bad request: Transfer-Encoding is not taken; send Content-Length");
    if (request.hosts > 1)
        return RequestRouter::refusal(400, "Bad request: more than one Host field");
    if (request.hosts == 1 && request.host.empty())
        return RequestRouter::refusal(400, "Bad request: an empty Host field");
    if (request.hosts == 0 && request.version >= 11)
        return RequestRouter::refusal(400, "Bad request: HTTP/1.1 needs a Host field");
    if (!isPlainHost(request.host))
        return RequestRouter::refusal(400, "Bad request: the Host field must be a name or an address and a port");
    if (request.contentLength > 0 && (request.method == "GET" || request.method == "HEAD"))
        return RequestRouter::refusal(400, "Bad request: GET and HEAD take no body");
    if (request.contentLength > RequestRouter::kLongestBody)
        return RequestRouter::refusal(413, "Request too large: the commands take no body");
    return std::nullopt;
}

struct Place {
    std::string_view path;
    Resource resource;
    bool post;  // taken by POST; every other place by GET (and HEAD)
};

constexpr std::array<Place, 7> kPlaces{{
    {"/", Resource::Page, false},
    {"/live", Resource::Live, false},
    {"/screen.png", Resource::Png, false},
    {"/screen.bmp", Resource::Bmp, false},
    {"/status.json", Resource::Status, false},
    {"/pause", Resource::Pause, true},
    {"/colour", Resource::Colour, true},
}};

}  // namespace

Route RequestRouter::refusal(int status, std::string reason, std::string allow)
{
    Route route;
    route.status = status;
    route.reason = std::move(reason);
    route.allow = std::move(allow);
    return route;
}

RequestFacts RequestFacts::of(const HttpRequest& request)
{
    namespace http = boost::beast::http;
    const auto text = [](boost::beast::string_view s) { return std::string_view(s.data(), s.size()); };
    RequestFacts facts;
    facts.method = text(request.method_string());
    facts.target = text(request.target());
    facts.version = request.version();
    facts.host = text(request[http::field::host]);
    facts.hosts = unsigned(request.count(http::field::host));
    facts.origin = text(request[http::field::origin]);
    facts.authorization = text(request[http::field::authorization]);
    facts.transferEncoding = request.count(http::field::transfer_encoding) > 0;
    // Beast has refused a length that is no number, or two that differ.
    const std::string_view length = text(request[http::field::content_length]);
    if (std::from_chars(length.data(), length.data() + length.size(), facts.contentLength).ec != std::errc())
        facts.contentLength = length.empty() ? 0 : std::numeric_limits<std::uint64_t>::max();
    facts.upgrade = boost::beast::websocket::is_upgrade(request);
    return facts;
}

std::string_view RequestRouter::queryValue(std::string_view target, std::string_view name)
{
    const std::size_t mark = target.find('?');
    if (mark == std::string_view::npos)
        return {};
    std::string_view query = target.substr(mark + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name)
            return pair.substr(eq + 1);
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

bool RequestRouter::isLoopbackHost(std::string_view host)
{
    // The port, if any, follows the last colon after any bracketed address.
    std::string_view name = host;
    if (name.starts_with('[')) {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos)
            return false;
        const std::string_view after = name.substr(close + 1);
        if (!after.empty() && !after.starts_with(':'))
            return false;
        name = name.substr(1, close - 1);
        return name == "::1";
    }
    const std::size_t colon = name.find(':');
    if (colon != std::string_view::npos)
        name = name.substr(0, colon);
    if (equalNoCase(name, "localhost"))
        return true;
    // 127.0.0.0/8, written as four decimal numbers.
    if (!name.starts_with("127."))
        return false;
    int parts = 0;
    std::size_t digits = 0;
    for (char c : name) {
        if (c == '.') {
            if (digits == 0 || digits > 3)
                return false;
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0 && digits <= 3;
}

Route RequestRouter::route(const RequestFacts& request) const
{
    if (auto refused = framingRefusal(request))
        return *refused;
    if (!request.target.starts_with('/'))
        return refusal(400, "Bad request: the address must start with /");
    const std::string_view path = request.target.substr(0, request.target.find('?'));
    if (!isPlainPath(path))
        return refusal(400, "Bad request: no such path here");

    if (!token_.empty()) {
        if (!AccessToken::matches(token_, queryValue(request.target, "token"))
            && !AccessToken::matches(token_, bearerToken(request.authorization)))
            return refusal(401,
                           "Access token missing or wrong: open the address korvane-serve printed, "
                           "with its ?token=..., or send Authorization: Bearer and the token");
    } else if (!request.host.empty() && !isLoopbackHost(request.host)) {
        return refusal(403,
                       "This server answers only under this machine's own address (localhost); "
                       "to share the screen, start korvane-serve with --listen");
    }

    const auto place = std::find_if(kPlaces.begin(), kPlaces.end(), [&](const Place& p) { return p.path == path; });
    if (place == kPlaces.end())
        return refusal(404,
                       "Not found: korvane-serve has /, /live, /screen.png, /screen.bmp, /status.json, "
                       "/pause and /colour");

    // A page from another site may send commands or open the WebSocket from
    // the user's browser; only the server's own page may. Without a Host
    // there is no own page: an Origin then never matches.
    const bool changes = place->post || place->resource == Resource::Live;
    if (changes && !request.origin.empty()) {
        const std::string_view origin = request.origin;
        const std::string_view scheme = "http://";
        if (!origin.starts_with(scheme) || !equalNoCase(origin.substr(scheme.size()), request.host))
            return refusal(403, "Forbidden: commands are taken only from korvane-serve's own page");
    }

    Route route;
    route.resource = place->resource;
    if (place->post) {
        if (request.method != "POST")
            return refusal(405, "Method not allowed: use POST", "POST");
        return route;
    }
    if (request.method == "HEAD" && place->resource != Resource::Live) {
        route.head = true;
        return route;
    }
    if (request.method != "GET")
        return refusal(405, "Method not allowed: use GET", place->resource == Resource::Live ? "GET" : "GET, HEAD");
    if (place->resource == Resource::Live && !request.upgrade)
        return refusal(426, "Upgrade required: /live is a WebSocket");
    return route;
}

}  // namespace korvane
