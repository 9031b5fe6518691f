// Korvane - shared by the programs: stop requests on Windows.
// SPDX-License-Identifier: MIT
#include "ConsoleStop.h"

#include <windows.h>

#include <mutex>

namespace korvane {

namespace {

struct StopRequest {
    std::function<void()> onStop;
    bool stopped = false;
};

std::mutex guard;
StopRequest* living = nullptr;

// Runs on a thread the system starts for each console event.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    {
        // Held while `onStop` runs, so that the object it belongs to (and
        // what it reaches) cannot end meanwhile.
        std::lock_guard lock(guard);
        if (!living)
            return FALSE;
        if (!living->stopped) {
            living->stopped = true;
            living->onStop();
        }
    }
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // The console closes, or the session ends: Windows ends the process as
    // soon as this returns (with a code of its own), and at the latest after
    // a few seconds. Never returning leaves the end to the program's own
    // return from main, with code 0.
    ::Sleep(INFINITE);
    return TRUE;
}

}  // namespace

struct ConsoleStop::Impl {
    StopRequest request;
};

ConsoleStop::ConsoleStop(std::function<void()> onStop)
    : impl_(std::make_unique<Impl>())
{
    impl_->request.onStop = std::move(onStop);
    {
        std::lock_guard lock(guard);
        living = &impl_->request;
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

ConsoleStop::~ConsoleStop()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    std::lock_guard lock(guard);
    living = nullptr;
}

}  // namespace korvane
