// Korvane - the live screen on the network, tests.
// SPDX-License-Identifier: MIT
#include "EventLog.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <streambuf>
#include <string>

namespace korvane {
namespace {

// An output that takes nothing until opened, as a paused terminal.
class GatedOutput : public std::streambuf {
public:
    void open()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    // Until the writer waits in the output.
    void awaitWriter()
    {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return waiting_; });
    }
    std::string text()
    {
        std::lock_guard lock(mutex_);
        return text_;
    }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        std::unique_lock lock(mutex_);
        waiting_ = true;
        opened_.notify_all();
        opened_.wait(lock, [this] { return open_; });
        text_.append(s, std::size_t(n));
        return n;
    }
    int overflow(int c) override
    {
        char byte = char(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    bool waiting_ = false;
    std::string text_;
};

TEST(EventLog, AStuckOutputCostsLinesNeverTheCaller)
{
    GatedOutput gate;
    std::ostream out(&gate);
    EventLog log(out);
    // The first line is taken by the writer, which then waits in the output;
    // then a full queue, then three lines too many.
    log.say("first");
    gate.awaitWriter();
    const std::size_t lines = EventLog::kMostWaiting + 4;
    for (std::size_t i = 1; i < lines; ++i)
        log.say("line " + std::to_string(i));  // would hang here if it waited
    EXPECT_FALSE(log.finish(std::chrono::milliseconds(50)));
    gate.open();
    ASSERT_TRUE(log.finish(std::chrono::seconds(30)));
    const std::string text = gate.text();
    const std::size_t note = text.find("(3 event lines dropped");
    ASSERT_NE(note, std::string::npos) << text.substr(text.size() - 200);
    // Told after the lines queued before the loss, before any that came after.
    EXPECT_LT(text.find("line " + std::to_string(EventLog::kMostWaiting) + "\n"), note);
    EXPECT_EQ(text.find("line " + std::to_string(lines - 1) + "\n"), std::string::npos);
    log.say("later");
    ASSERT_TRUE(log.finish(std::chrono::seconds(30)));
    EXPECT_GT(gate.text().find("later\n"), note);
}

}  // namespace
}  // namespace korvane
