// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace korvane {

// The message box of a lost link: owned by no window and shown on a thread
// of its own, so that the main window stays usable (its keys included) while
// it is open, and the program can still end then.
class LostLinkBox {
public:
    LostLinkBox() = default;
    ~LostLinkBox();
    LostLinkBox(const LostLinkBox&) = delete;
    LostLinkBox& operator=(const LostLinkBox&) = delete;

    // Shows `text` as text and caption with one OK button; `closed` runs on
    // the box's thread once the box has gone, whoever closed it. One box at
    // a time: a box still open is closed first.
    void open(const wchar_t* text, std::function<void()> closed);

    // Closes the box if it is open, and returns once its thread has ended.
    void close();

private:
    void run(const wchar_t* text, const std::function<void()>& closed);

    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::mutex lock_;
    std::condition_variable ended_;
    bool running_ = false;
};

}  // namespace korvane
