// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <boost/beast/http/fields.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/status.hpp>
#include <boost/beast/http/string_body.hpp>

#include <string>

namespace korvane {

using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

// Every answer korvane-serve gives, the WebSocket's included, carries the
// same fields: its name, no caching, and what keeps its page out of other
// sites' frames and its answers from being read as anything but their type.
class HttpAnswer {
public:
    // An answer of `type` with `body`; `version` 11 or 10, as the request's.
    static HttpResponse make(unsigned version, bool keepAlive, boost::beast::http::status status, const char* type,
                             std::string body);
    // A plain-text refusal ending the connection: `reason` and a line feed.
    static HttpResponse refusal(unsigned version, int status, const std::string& reason);
    // The fields every answer carries, added to `fields`.
    static void addCommonFields(boost::beast::http::fields& fields);
    // How long a client refused for lack of room is asked to wait, in seconds.
    static constexpr int kRetryAfterSeconds = 5;
};

}  // namespace korvane
