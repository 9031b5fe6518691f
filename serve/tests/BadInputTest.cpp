// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
//
// What korvane-serve does with requests it must not follow, over loopback.
#include "ServeTestSupport.h"

#include "TestSupport.h"

#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

namespace korvane::test {
namespace {

std::string repeated(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

bool hasField(const Reply& reply, const std::string& field)
{
    return reply.fields.find("\r\n" + field + "\r\n") != std::string::npos;
}

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override { instruments_.start(dir_.path(), 5); }

    ScratchDir dir_;
    Instruments instruments_;
};

TEST_F(BadInputTest, EachGetsItsRefusalAndChangesNothing)
{
    ServeHarness serve(dir_.path(), "COM5");
    const std::string host = "Host: 127.0.0.1:" + std::to_string(serve.port()) + "\r\n";
    const struct {
        const char* what;
        std::string bytes;
        int status;
    } cases[] = {
        {"a malformed request line", "PAUSE!! /pause\r\n\r\n", 400},
        {"an oversized head",
         "GET /status.json HTTP/1.1\r\n" + host + "X-Long: " + std::string(16 * 1024, 'x') + "\r\n\r\n", 431},
        {"an oversized body",
         "POST /pause HTTP/1.1\r\n" + host + "Content-Length: 4096\r\n\r\n" + std::string(4096, 'p'), 413},
        {"an unknown path", "GET /etc/passwd HTTP/1.1\r\n" + host + "\r\n", 404},
        {"a command by GET", "GET /colour HTTP/1.1\r\n" + host + "\r\n", 405},
        {"a WebSocket upgrade without a key",
         "GET /live HTTP/1.1\r\n" + host
             + "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n\r\n",
         400},
        {"TLS on the plain port",
         std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03", 11) + std::string(160, 'T'), 400},
        {"a head of 50,000 empty fields", "GET /status.json HTTP/1.1\r\n" + host + repeated("a:\r\n", 50000) + "\r\n",
         431},
        {"a body smuggled by Transfer-Encoding",
         "GET /status.json HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked, identity\r\n\r\n0\r\n\r\n", 400},
        {"a folded field", "GET /status.json HTTP/1.1\r\n" + host + "X-A: 1\r\n 2\r\n\r\n", 400},
        {"a second Host", "GET /status.json HTTP/1.1\r\n" + host + "Host: evil.example\r\n\r\n", 400},
        {"user information in Host", "GET /status.json HTTP/1.1\r\nHost: 127.0.0.1:8740@evil.example\r\n\r\n", 400},
        {"a command from elsewhere with an empty Host",
         "POST /pause HTTP/1.1\r\nHost:\r\nOrigin: http://evil.example\r\n\r\n", 400},
        {"a body on GET", "GET /status.json HTTP/1.1\r\n" + host + "Content-Length: 5\r\n\r\nhello", 400},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(rawExchange(serve.port(), bad.bytes).status, bad.status);
    }
    const std::string state = request(serve.port(), "GET", "/status.json").body;
    EXPECT_FALSE(statusFlag(state, "paused"));
    EXPECT_TRUE(statusFlag(state, "colour"));
}

TEST_F(BadInputTest, EveryAnswerKeepsOutOfOtherSitesFramesAndTypeGuessing)
{
    ServeHarness serve(dir_.path(), "COM5");
    const std::string host = "Host: 127.0.0.1:" + std::to_string(serve.port()) + "\r\n";
    // The WebSocket's answer stays open: its head is read alone.
    boost::asio::io_context io;
    auto live = connectFrom(io, serve.port(), "127.0.0.1");
    boost::asio::write(live,
                       boost::asio::buffer("GET /live HTTP/1.1\r\n" + host
                                           + "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-"
                                             "Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"));
    Reply upgrade;
    upgrade.fields.resize(boost::asio::read_until(live, boost::asio::dynamic_buffer(upgrade.fields), "\r\n\r\n"));
    const Reply answers[] = {
        request(serve.port(), "GET", "/"),
        request(serve.port(), "GET", "/nowhere"),
        request(serve.port(), "POST", "/pause"),
        upgrade,
    };
    for (const Reply& answer : answers) {
        SCOPED_TRACE(answer.fields.substr(0, answer.fields.find('\r')));
        EXPECT_TRUE(hasField(answer, "Content-Security-Policy: frame-ancestors 'none'"));
        EXPECT_TRUE(hasField(answer, "X-Frame-Options: DENY"));
        EXPECT_TRUE(hasField(answer, "X-Content-Type-Options: nosniff"));
    }
    const Reply tooLong = rawExchange(serve.port(), "GET / HTTP/1.1\r\n" + host + repeated("a:\r\n", 3000) + "\r\n");
    EXPECT_NE(tooLong.body.find("\r\nX-Frame-Options: DENY\r\n"), std::string::npos) << tooLong.body;
}

TEST_F(BadInputTest, BeyondACapConnectionsGet503AtOnceAndTheOthersAreServed)
{
    ServeHarness serve(dir_.path(), "COM5", "127.0.0.1", {.connections = 64, .viewers = 1, .perAddress = 4});
    boost::asio::io_context io;
    // Accepted in the order they came: the fifth from one machine is one too many.
    std::vector<boost::asio::ip::tcp::socket> held;
    for (int i = 0; i < 4; ++i)
        held.push_back(connectFrom(io, serve.port(), "127.0.0.2"));
    const Reply fifth = rawExchange(serve.port(), "", "127.0.0.2");
    EXPECT_EQ(fifth.status, 503);
    EXPECT_NE(fifth.body.find("\r\nRetry-After: 5\r\n"), std::string::npos);
    EXPECT_NE(fifth.body.find("from your address"), std::string::npos);
    EXPECT_EQ(request(serve.port(), "GET", "/status.json").status, 200) << "another machine is served";

    Viewer watching(serve.port());
    const Reply second = rawExchange(serve.port(),
                                     "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Upgrade\r\n"
                                     "Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                                     "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    EXPECT_EQ(second.status, 503);
    EXPECT_NE(second.body.find("viewers are watching"), std::string::npos);
    std::string screen;
    EXPECT_TRUE(watching.nextScreen(screen));
}

TEST_F(BadInputTest, AClientThatSendsNothingIsClosedWhileOthersAreServed)
{
    ServeHarness serve(dir_.path(), "COM5");
    // The test's reads give up after 15 s; the server closes first.
    std::thread silent([&] { EXPECT_EQ(rawExchange(serve.port(), "").fields, "") << "left open"; });
    std::thread halfway([&] { EXPECT_EQ(rawExchange(serve.port(), "GET /status.json HTTP/1.1\r\nHo").fields, ""); });
    EXPECT_EQ(request(serve.port(), "GET", "/status.json").status, 200);
    silent.join();
    halfway.join();
}

TEST_F(BadInputTest, RunningOutOfDescriptorsNeitherSpinsNorStopsTheServer)
{
#ifdef KORVANE_UNDEFINED_SANITIZER
    GTEST_SKIP() << "UBSan's type checks open a pipe each: with no descriptor left they report false faults";
#endif
    // A silent instrument: the engine's threads touch nothing that needs a descriptor.
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    instruments_.start(dir_.path(), 6, silent);
    ServeHarness serve(dir_.path(), "COM6");
    boost::asio::io_context io;
    using boost::asio::ip::tcp;
    const tcp::endpoint server(boost::asio::ip::make_address("127.0.0.1"), serve.port());
    tcp::socket first(io), second(io);
    first.open(tcp::v4());
    second.open(tcp::v4());

    // Room for the server to take the first connection and no more: the
    // lowest free descriptor is the last allowed, once the server has
    // closed what the harness's requests left open (a descriptor freed
    // below it later would make room for a second).
    ASSERT_TRUE(waitFor([&] { return serve.connections() == 0; }));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    first.connect(server);
    second.connect(server);  // completed by the kernel; the server cannot take it

    const auto before = serve.ioThreadTime();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto used = serve.ioThreadTime() - before;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_LT(used, std::chrono::milliseconds(300)) << "the server spun while it could not accept";

    // With descriptors again, the waiting connection is served.
    const std::string ask = "GET /status.json HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    boost::asio::write(second, boost::asio::buffer(ask));
    std::string answer(12, '\0');
    boost::asio::read(second, boost::asio::buffer(answer));
    EXPECT_EQ(answer, "HTTP/1.1 200");
}

TEST_F(BadInputTest, OffLoopbackEverythingAsksForTheToken)
{
    ServeHarness serve(dir_.path(), "COM5", "0.0.0.0");
    // Which places ask for it is the router's test; here, that the server asks.
    ASSERT_EQ(serve.tokenQuery().size(), std::string("?token=").size() + 32);
    EXPECT_EQ(request(serve.port(), "POST", "/pause").status, 401);
    EXPECT_EQ(request(serve.port(), "GET", "/screen.png?token=" + std::string(32, '0')).status, 401);
    EXPECT_THROW(Viewer(serve.port()), boost::system::system_error);
    EXPECT_FALSE(statusFlag(request(serve.port(), "GET", "/status.json" + serve.tokenQuery()).body, "paused"));
    Viewer viewer(serve.port(), serve.tokenQuery());
    std::string screen;
    EXPECT_TRUE(viewer.nextScreen(screen));
}

TEST_F(BadInputTest, OffLoopbackTheTokenMayComeAsABearerField)
{
    ServeHarness serve(dir_.path(), "COM5", "0.0.0.0");
    const std::string ask = "GET /status.json HTTP/1.1\r\nHost: lab-pc:" + std::to_string(serve.port()) + "\r\n";
    const Reply refused = rawExchange(serve.port(), ask + "\r\n");
    EXPECT_EQ(refused.status, 401);
    EXPECT_NE(refused.body.find("\r\nWWW-Authenticate: Bearer realm=\"korvane-serve\"\r\n"), std::string::npos);
    const std::string token = serve.tokenQuery().substr(std::string("?token=").size());
    EXPECT_EQ(
        rawExchange(serve.port(), ask + "Authorization: Bearer " + token + "\r\nConnection: close\r\n\r\n").status,
        200);
}

}  // namespace
}  // namespace korvane::test
