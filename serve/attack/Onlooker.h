// Korvane - korvane-serve's attack test.
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::attack {

// The legitimate user during an attack, from 127.0.0.1: a page watching
// over the WebSocket, and a script asking for /status.json five times a
// second on a new connection each time. Both on threads of their own.
class Onlooker {
public:
    using Clock = std::chrono::steady_clock;
    struct Ask {
        Clock::time_point at;
        double ms;   // until the whole answer was read
        int status;  // 0: no answer within 5 s, or the connection failed
    };

    explicit Onlooker(unsigned short port);
    ~Onlooker();
    Onlooker(const Onlooker&) = delete;
    Onlooker& operator=(const Onlooker&) = delete;

    // The asks made, and the screens the page got, since `from`.
    std::vector<Ask> asksSince(Clock::time_point from) const;
    std::vector<Clock::time_point> screensSince(Clock::time_point from) const;
    // The body of the latest /status.json answered.
    std::string lastState() const;
    // False once the page's connection has ended.
    bool watching() const;

private:
    void watch();
    void ask();

    unsigned short port_;
    mutable std::mutex mutex_;
    std::vector<Ask> asks_;
    std::string lastState_;
    std::vector<Clock::time_point> screens_;
    bool watching_ = true;
    bool stopping_ = false;
    int viewerSocket_ = -1;
    std::thread viewer_;
    std::thread asker_;
};

}  // namespace korvane::attack
