// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
//
// What korvane-serve does with requests it must not follow, over loopback.
#include "ServeTestSupport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace korvane::test {
namespace {

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
        {"an oversized head", "GET /status.json HTTP/1.1\r\n" + host + "X-Long: " + std::string(16 * 1024, 'x') + "\r\n\r\n",
         431},
        {"an oversized body", "POST /pause HTTP/1.1\r\n" + host + "Content-Length: 4096\r\n\r\n" + std::string(4096, 'p'),
         413},
        {"an unknown path", "GET /etc/passwd HTTP/1.1\r\n" + host + "\r\n", 404},
        {"a path trick", "GET /../status.json HTTP/1.1\r\n" + host + "\r\n", 400},
        {"a command by GET", "GET /colour HTTP/1.1\r\n" + host + "\r\n", 405},
        {"a WebSocket upgrade without a key",
         "GET /live HTTP/1.1\r\n" + host + "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n\r\n",
         400},
        {"TLS on the plain port", std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03", 11) + std::string(160, 'T'),
         400},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(rawExchange(serve.port(), bad.bytes).status, bad.status);
    }
    const std::string state = request(serve.port(), "GET", "/status.json").body;
    EXPECT_FALSE(statusFlag(state, "paused"));
    EXPECT_TRUE(statusFlag(state, "colour"));
}

TEST_F(BadInputTest, AClientThatSendsNothingIsClosedWhileOthersAreServed)
{
    ServeHarness serve(dir_.path(), "COM5");
    std::thread silent([&] {
        // The test's reads give up after 15 s; the server closes first.
        const Reply reply = rawExchange(serve.port(), "");
        EXPECT_EQ(reply.status, 0);
        EXPECT_EQ(reply.fields, "") << "the silent connection was left open";
    });
    std::thread halfway([&] { EXPECT_EQ(rawExchange(serve.port(), "GET /status.json HTTP/1.1\r\nHo").fields, ""); });
    EXPECT_EQ(request(serve.port(), "GET", "/status.json").status, 200);
    silent.join();
    halfway.join();
}

TEST_F(BadInputTest, OffLoopbackEverythingAsksForTheToken)
{
    ServeHarness serve(dir_.path(), "COM5", "0.0.0.0");
    ASSERT_EQ(serve.tokenQuery().size(), std::string("?token=").size() + 32);
    ASSERT_TRUE(waitFor([&] {
        return statusNumber(request(serve.port(), "GET", "/status.json" + serve.tokenQuery()).body, "screens") > 0;
    }));
    const std::string wrong = "?token=" + std::string(32, '0');
    for (const char* path : {"/", "/screen.png", "/screen.bmp", "/status.json"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(request(serve.port(), "GET", path).status, 401);
        EXPECT_EQ(request(serve.port(), "GET", path + wrong).status, 401);
        EXPECT_EQ(request(serve.port(), "GET", path + serve.tokenQuery()).status, 200);
    }
    EXPECT_EQ(request(serve.port(), "POST", "/pause").status, 401);
    EXPECT_EQ(request(serve.port(), "POST", "/colour" + wrong).status, 401);
    EXPECT_THROW(Viewer(serve.port()), boost::system::system_error);

    const std::string state = request(serve.port(), "GET", "/status.json" + serve.tokenQuery()).body;
    EXPECT_FALSE(statusFlag(state, "paused"));
    EXPECT_TRUE(statusFlag(state, "colour"));
    Viewer viewer(serve.port(), serve.tokenQuery());
    std::string screen;
    EXPECT_TRUE(viewer.nextScreen(screen));
}

}  // namespace
}  // namespace korvane::test
