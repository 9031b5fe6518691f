// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#include "LostLinkBox.h"

#include <chrono>
#include <string_view>

namespace korvane {

namespace {

// How often close() asks the box again: the box may not have been made yet
// when it first asks.
constexpr auto kCloseRetry = std::chrono::milliseconds(20);

BOOL CALLBACK closeMessageBox(HWND window, LPARAM)
{
    // Only the box itself (the system's dialog class), not the helper
    // windows that the system gives every thread with windows.
    wchar_t className[16] = L"";
    if (::GetClassNameW(window, className, 16) > 0 && std::wstring_view(className) == L"#32770")
        ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

}  // namespace

LostLinkBox::~LostLinkBox()
{
    close();
}

void LostLinkBox::open(const wchar_t* text, std::function<void()> closed)
{
    close();
    running_ = true;
    thread_ = std::thread([this, text, closed = std::move(closed)] { run(text, closed); });
}

void LostLinkBox::run(const wchar_t* text, const std::function<void()>& closed)
{
    threadId_ = ::GetCurrentThreadId();
    ::MessageBoxW(nullptr, text, text, MB_OK | MB_SETFOREGROUND);
    closed();
    {
        std::lock_guard guard(lock_);
        running_ = false;
    }
    ended_.notify_all();
}

void LostLinkBox::close()
{
    if (!thread_.joinable())
        return;
    std::unique_lock guard(lock_);
    while (running_) {
        guard.unlock();
        if (const DWORD id = threadId_.load())
            ::EnumThreadWindows(id, closeMessageBox, 0);
        guard.lock();
        ended_.wait_for(guard, kCloseRetry, [this] { return !running_; });
    }
    guard.unlock();
    thread_.join();
    threadId_ = 0;
}

}  // namespace korvane
