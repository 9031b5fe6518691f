// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "RequestRouter.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

Route ask(const RequestRouter& router, std::string_view method, std::string_view target,
          std::string_view host = "127.0.0.1:8740", std::string_view origin = {}, bool upgrade = false)
{
    RequestFacts facts;
    facts.method = method;
    facts.target = target;
    facts.host = host;
    facts.origin = origin;
    facts.upgrade = upgrade;
    return router.route(facts);
}

TEST(RequestRouter, OffLoopbackEveryPlaceNeedsTheExactToken)
{
    const RequestRouter router(kToken);
    const std::string good = std::string("token=") + kToken;
    // None, one digit off, a prefix, a longer value, other names' values, an empty one.
    const std::string wrong[] = {"",
                                 "?token=0123456789abcdef0123456789abcdee",
                                 "?token=0123456789abcdef",
                                 "?" + good + "0",
                                 std::string("?key=") + kToken,
                                 "?my" + good,
                                 "?token="};
    for (const std::string& query : wrong)
        for (const char* path : {"/", "/screen.png", "/screen.bmp", "/status.json", "/nowhere"})
            EXPECT_EQ(ask(router, "GET", path + query, "lab-pc:8740").status, 401) << path << query;
    EXPECT_EQ(ask(router, "GET", "/live", "lab-pc:8740", "http://lab-pc:8740", true).status, 401);
    EXPECT_EQ(ask(router, "POST", "/pause", "lab-pc:8740").status, 401);
    EXPECT_EQ(ask(router, "GET", "/?" + good, "lab-pc:8740").resource, Resource::Page);
    EXPECT_EQ(ask(router, "GET", "/status.json?x=1&" + good, "192.0.2.7").resource, Resource::Status);
    EXPECT_EQ(ask(router, "POST", "/colour?" + good, "lab-pc:8740", "http://lab-pc:8740").resource, Resource::Colour);
}

TEST(RequestRouter, OnLoopbackOnlyLoopbackNamesAreAnswered)
{
    // A name of another site that points at 127.0.0.1 would let its pages
    // read the screen and send commands.
    const RequestRouter router("");
    for (const char* host : {"127.0.0.1:8740", "localhost:8740", "LOCALHOST", "[::1]:8740", "127.1.2.3"})
        EXPECT_EQ(ask(router, "GET", "/status.json", host).resource, Resource::Status) << host;
    for (const char* host : {"evil.example:8740", "127.0.0.1.evil.example", "localhost.evil.example", "[::2]:8740",
                             "127.0.0.1x", "[::1]x", "1270.0.0.1", "127.0.0.1234"})
        EXPECT_EQ(ask(router, "GET", "/status.json", host).status, 403) << host;
}

TEST(RequestRouter, CommandsAndTheWebSocketOnlyFromTheServersOwnPage)
{
    const RequestRouter router("");
    EXPECT_EQ(ask(router, "POST", "/pause", "127.0.0.1:8740", "http://127.0.0.1:8740").resource, Resource::Pause);
    EXPECT_EQ(ask(router, "POST", "/pause", "127.0.0.1:8740").resource, Resource::Pause);  // curl sends no Origin
    EXPECT_EQ(ask(router, "POST", "/pause", "127.0.0.1:8740", "http://evil.example").status, 403);
    EXPECT_EQ(ask(router, "POST", "/colour", "127.0.0.1:8740", "http://127.0.0.1:8741").status, 403);
    EXPECT_EQ(ask(router, "GET", "/live", "127.0.0.1:8740", "http://evil.example", true).status, 403);
    EXPECT_EQ(ask(router, "GET", "/live", "127.0.0.1:8740", "http://127.0.0.1:8740", true).resource, Resource::Live);
    // Reading is no command: a picture may be shown on another page.
    EXPECT_EQ(ask(router, "GET", "/screen.png", "127.0.0.1:8740", "http://evil.example").resource, Resource::Png);
    // Without a Host (HTTP/1.0) there is no own page for an Origin to be.
    RequestFacts noHost{
        .method = "POST", .target = "/pause", .version = 10, .hosts = 0, .origin = "http://evil.example"};
    EXPECT_EQ(router.route(noHost).status, 403);
    noHost.origin = {};
    EXPECT_EQ(router.route(noHost).resource, Resource::Pause);
}

TEST(RequestRouter, FieldsThatReadersCouldTakeDifferentlyAreRefused)
{
    const RequestRouter router("");
    const RequestFacts get{.method = "GET", .target = "/status.json", .host = "127.0.0.1:8740"};
    const RequestFacts post{.method = "POST", .target = "/pause", .host = "127.0.0.1:8740"};
    const auto with = [](RequestFacts facts, auto change) {
        change(facts);
        return facts;
    };
    const struct {
        const char* what;
        RequestFacts facts;
        int status;
    } cases[] = {
        {"any Transfer-Encoding", with(get, [](auto& f) { f.transferEncoding = true; }), 400},
        {"two Host fields", with(get, [](auto& f) { f.hosts = 2; }), 400},
        {"an empty Host", with(post, [](auto& f) { f.host = {}, f.origin = "http://evil.example"; }), 400},
        {"no Host in HTTP/1.1", with(get, [](auto& f) { f.hosts = 0, f.host = {}; }), 400},
        {"user information in Host", with(get, [](auto& f) { f.host = "127.0.0.1:8740@evil.example"; }), 400},
        {"a path in Host", with(get, [](auto& f) { f.host = "127.0.0.1/x"; }), 400},
        {"a body on GET", with(get, [](auto& f) { f.contentLength = 1; }), 400},
        {"a body on HEAD", with(get, [](auto& f) { f.method = "HEAD", f.contentLength = 5; }), 400},
        {"a command's body over 1 KiB", with(post, [](auto& f) { f.contentLength = 1025; }), 413},
    };
    for (const auto& c : cases)
        EXPECT_EQ(router.route(c.facts).status, c.status) << c.what;
    EXPECT_EQ(router.route(get).resource, Resource::Status);
    EXPECT_EQ(router.route(with(post, [](auto& f) { f.contentLength = 1024; })).resource, Resource::Pause);
    EXPECT_EQ(router.route(with(get, [](auto& f) { f.version = 10, f.hosts = 0, f.host = {}; })).resource,
              Resource::Status);
}

TEST(RequestRouter, TheTokenAlsoComesAsABearerField)
{
    const RequestRouter router(kToken);
    RequestFacts facts{.method = "GET", .target = "/status.json", .host = "lab-pc:8740"};
    for (const std::string& field : {std::string("Bearer ") + kToken, std::string("bearer  ") + kToken}) {
        facts.authorization = field;
        EXPECT_EQ(router.route(facts).resource, Resource::Status) << field;
    }
    for (const std::string& field : {std::string("Basic ") + kToken, std::string("Bearer ") + kToken + "0",
                                     std::string("Bearer"), std::string(kToken)}) {
        facts.authorization = field;
        EXPECT_EQ(router.route(facts).status, 401) << field;
    }
}

TEST(RequestRouter, PathsAreMatchedExactlyAndTricksRefused)
{
    const RequestRouter router("");
    for (const char* target : {"/../etc/passwd", "/./status.json", "/screen.png/..", "/%2e%2e/x", "/status%2Ejson",
                               "//status.json", "/\\..\\x", "http://127.0.0.1/status.json", "*", ""})
        EXPECT_EQ(ask(router, "GET", target).status, 400) << target;
    for (const char* target : {"/index.html", "/screen.gif", "/status.json/", "/LIVE", "/screen.png.bak", "/..x"})
        EXPECT_EQ(ask(router, "GET", target).status, 404) << target;
}

TEST(RequestRouter, EachPlaceTakesItsMethods)
{
    const RequestRouter router("");
    const Route getPause = ask(router, "GET", "/pause");
    EXPECT_EQ(getPause.status, 405);
    EXPECT_EQ(getPause.allow, "POST");
    const Route postPicture = ask(router, "POST", "/screen.bmp");
    EXPECT_EQ(postPicture.status, 405);
    EXPECT_EQ(postPicture.allow, "GET, HEAD");
    EXPECT_EQ(ask(router, "DELETE", "/status.json").status, 405);
    EXPECT_EQ(ask(router, "get", "/status.json").status, 405);  // methods are case-sensitive
    const Route head = ask(router, "HEAD", "/screen.png");
    EXPECT_EQ(head.resource, Resource::Png);
    EXPECT_TRUE(head.head);
    EXPECT_EQ(ask(router, "GET", "/live").status, 426);
    EXPECT_EQ(ask(router, "HEAD", "/live").status, 405);
}

}  // namespace
}  // namespace korvane
