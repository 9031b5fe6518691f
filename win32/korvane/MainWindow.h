// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "Engine.h"
#include "EngineHost.h"
#include "LiveView.h"
#include "LostLinkBox.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace korvane {

// The viewer's one window: the File and Help menus of the class, the live
// view as its client area, and the engine behind them. The window procedure
// only routes each message to its handler; the engine's news from its own
// threads reaches the window through InvalidateRect and posted messages.
class MainWindow final : private EngineHost {
public:
    // The window class: the icon, the arrow cursor, the system window colour
    // as background and the menu, all from the program's resources.
    static void registerClass(HINSTANCE instance, const wchar_t* className);

    // `programDir`: where header2.bin and Pictorix.exe ship.
    MainWindow(HINSTANCE instance, const std::string& programDir);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window (331x284 pixels, frame and menu included, where the
    // system places it); the engine starts inside. Null when it cannot be made.
    HWND create(const wchar_t* className, const wchar_t* title);

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT route(UINT message, WPARAM wParam, LPARAM lParam);

    void onDestroy();
    bool onSetCursor(LPARAM lParam);
    // True for one of the viewer's commands; any other id is left to the
    // default processing.
    bool runCommand(int id);

    void connectCommand();
    // Connect after the search (or at once when the port is known).
    void finishConnect();
    void onSearchFinished();
    void toggleCommand(int id, std::int32_t (Engine::*get)() const, void (Engine::*set)(std::int32_t));
    void savePrintCommand();
    void aboutCommand();
    void exitCommand();
    void onLinkLost();
    // Exit, or the window's end by any route: the engine's threads end, then
    // its port and log close.
    void endEngine();

    // EngineHost, on the engine's threads: repaints through InvalidateRect,
    // everything else posted to the window thread.
    void screenPublished() override;
    void linkLost() override;
    void linkClosed() override;
    void openFailed() override;
    void exportStarted() override;
    void searchFinished() override;
    void repaint();

    HINSTANCE instance_;
    // Set as the window is made, before any thread of the engine runs.
    HWND window_ = nullptr;
    LiveView liveView_;
    LostLinkBox lostLinkBox_;
    // The search for the instrument runs on the engine's thread meanwhile.
    bool searching_ = false;
    // Exit has begun: nothing may open a window any more.
    bool closing_ = false;
    // Last member: its threads end before the members above go.
    Engine engine_;
};

}  // namespace korvane
