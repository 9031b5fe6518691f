// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "HttpAnswer.h"

#include "Version.h"

#include <boost/beast/http/field.hpp>

namespace korvane {

namespace http = boost::beast::http;

void HttpAnswer::addCommonFields(http::fields& fields)
{
    fields.set(http::field::server, "korvane-serve/" KORVANE_VERSION_SHORT);
    fields.set(http::field::cache_control, "no-store");
    // A site that framed the page could lead a click onto Pause or Monochrome.
    fields.set("Content-Security-Policy", "frame-ancestors 'none'");
    fields.set("X-Frame-Options", "DENY");
    fields.set("X-Content-Type-Options", "nosniff");
    // The token may be in the page's address: it must not travel to other sites.
    fields.set("Referrer-Policy", "no-referrer");
}

HttpResponse HttpAnswer::make(unsigned version, bool keepAlive, http::status status, const char* type, std::string body)
{
    HttpResponse res{status, version};
    addCommonFields(res.base());
    res.set(http::field::content_type, type);
    res.keep_alive(keepAlive);
    res.body() = std::move(body);
    res.prepare_payload();
    return res;
}

HttpResponse HttpAnswer::refusal(unsigned version, int status, const std::string& reason)
{
    HttpResponse res = make(version, false, http::status(status), "text/plain; charset=utf-8", reason + "\n");
    if (status == 401)
        res.set(http::field::www_authenticate, "Bearer realm=\"korvane-serve\"");
    if (status == 503)
        res.set(http::field::retry_after, std::to_string(kRetryAfterSeconds));
    return res;
}

}  // namespace korvane
