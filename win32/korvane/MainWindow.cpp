// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#include "MainWindow.h"

#include "AboutBox.h"
#include "LinkReport.h"
#include "ResourceIds.h"
#include "WindowsText.h"

#include <iterator>

namespace korvane {

namespace {

// The engine's news, posted to the window thread.
constexpr UINT kSearchFinished = WM_APP + 1;
constexpr UINT kLinkLost = WM_APP + 2;

// Outer size in pixels, frame, caption and menu bar included.
constexpr int kOuterWidth = 331;
constexpr int kOuterHeight = 284;

constexpr const wchar_t* kConnectionError = L"DSO Connection Error";

EngineConfig viewerConfig(const std::string& programDir)
{
    EngineConfig config;
    config.programDir = programDir;
    return config;
}

}  // namespace

void MainWindow::registerClass(HINSTANCE instance, const wchar_t* className)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    // The whole client area is invalidated after every change of width or
    // height: the picture is stretched over all of it.
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(KORVANE_ICON));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(KORVANE_CLASS);
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass);
}

MainWindow::MainWindow(HINSTANCE instance, const std::string& programDir)
    : instance_(instance)
    , engine_(*this, viewerConfig(programDir))
{
}

MainWindow::~MainWindow()
{
    // The box's thread acknowledges to the engine: it ends first.
    lostLinkBox_.close();
    engine_.shutdown();
}

HWND MainWindow::create(const wchar_t* className, const wchar_t* title)
{
    // The window finds this object by its creation data.
    return ::CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kOuterWidth,
                             kOuterHeight, nullptr, nullptr, instance_, this);
}

LRESULT CALLBACK MainWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->route(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::route(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: engine_.initEngine(); return 0;
    case WM_DESTROY: onDestroy(); return 0;
    case WM_SIZE: liveView_.resize(lParam); return 0;
    case WM_PAINT: liveView_.paint(window_, engine_); return 0;
    case WM_MOUSEMOVE: return 0;
    case WM_SETCURSOR:
        if (onSetCursor(lParam))
            return TRUE;
        break;
    case WM_COMMAND:
        if (runCommand(LOWORD(wParam)))
            return 0;
        break;
    case kSearchFinished: onSearchFinished(); return 0;
    case kLinkLost: onLinkLost(); return 0;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

bool MainWindow::runCommand(int id)
{
    switch (id) {
    case KORVANE_CONNECT: connectCommand(); return true;
    case KORVANE_PAUSE: toggleCommand(id, &Engine::isPaused, &Engine::setPaused); return true;
    case KORVANE_COLOR: toggleCommand(id, &Engine::isColorMode, &Engine::setColorMode); return true;
    case KORVANE_SAVE_PRINT: savePrintCommand(); return true;
    case KORVANE_EXIT: exitCommand(); return true;
    case KORVANE_ABOUT: aboutCommand(); return true;
    }
    return false;
}

bool MainWindow::onSetCursor(LPARAM lParam)
{
    if (!searching_ || LOWORD(lParam) != HTCLIENT)
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void MainWindow::connectCommand()
{
    if (searching_)
        return;
    switch (engine_.beginConnect()) {
    case ConnectStart::Nothing: return;
    case ConnectStart::OpenNow: finishConnect(); return;
    case ConnectStart::Searching:
        searching_ = true;
        ::EnableMenuItem(::GetMenu(window_), KORVANE_CONNECT, MF_BYCOMMAND | MF_GRAYED);
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return;
    }
}

void MainWindow::onSearchFinished()
{
    if (!searching_ || closing_)
        return;
    searching_ = false;
    ::EnableMenuItem(::GetMenu(window_), KORVANE_CONNECT, MF_BYCOMMAND | MF_ENABLED);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    finishConnect();
}

void MainWindow::finishConnect()
{
    if (engine_.openLink() == -1) {
        ::MessageBoxW(window_, kConnectionError, kConnectionError, MB_OK);
        return;
    }
    const HMENU menu = ::GetMenu(window_);
    ::EnableMenuItem(menu, KORVANE_SAVE_PRINT, MF_BYCOMMAND | MF_ENABLED);
    ::CheckMenuItem(menu, KORVANE_CONNECT, MF_BYCOMMAND | MF_CHECKED);
}

void MainWindow::toggleCommand(int id, std::int32_t (Engine::*get)() const, void (Engine::*set)(std::int32_t))
{
    const HMENU menu = ::GetMenu(window_);
    if ((engine_.*get)() == 1) {
        ::CheckMenuItem(menu, UINT(id), MF_BYCOMMAND | MF_UNCHECKED);
        (engine_.*set)(0);
    } else {
        ::CheckMenuItem(menu, UINT(id), MF_BYCOMMAND | MF_CHECKED);
        (engine_.*set)(1);
    }
}

void MainWindow::savePrintCommand()
{
    // Before the first screen nothing is written or started: the command
    // waits for a screen rather than hand an empty picture on.
    const std::string problem = LinkReport::exportFailure(engine_.exportSnapshot(), engine_);
    if (!problem.empty()) {
        wchar_t title[64] = L"";
        ::GetWindowTextW(window_, title, int(std::size(title)));
        ::MessageBoxW(window_, wideFromUtf8(problem).c_str(), title, MB_OK | MB_ICONWARNING);
    }
}

void MainWindow::aboutCommand()
{
    ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(KORVANE_ABOUT_BOX), window_, AboutBox::procedure, 0);
}

void MainWindow::exitCommand()
{
    endEngine();
    ::DestroyWindow(window_);
}

void MainWindow::onDestroy()
{
    endEngine();
    ::PostQuitMessage(0);
}

void MainWindow::endEngine()
{
    if (closing_)
        return;
    closing_ = true;
    // The search and the reader thread end before the port and the log are
    // closed, and before the window goes.
    engine_.shutdown();
    // The box of a lost link has no owner: left open it would keep the
    // program alive.
    lostLinkBox_.close();
}

void MainWindow::onLinkLost()
{
    // A loss reported just as Exit began: a box now would outlive the window.
    if (closing_) {
        engine_.acknowledgeConnectionError();
        return;
    }
    // It blocks only the reader thread: the window stays usable meanwhile.
    // Once it is closed, linkClosed() repaints the view with the link's end.
    lostLinkBox_.open(kConnectionError, [this] { engine_.acknowledgeConnectionError(); });
}

void MainWindow::repaint()
{
    // Any thread: marks the whole client area, without erasing; the paint
    // comes on the window thread, several marks folded into one.
    ::InvalidateRect(window_, nullptr, FALSE);
}

void MainWindow::screenPublished()
{
    repaint();
}

void MainWindow::linkClosed()
{
    repaint();
}

void MainWindow::openFailed()
{
    repaint();
}

void MainWindow::exportStarted()
{
    repaint();
}

void MainWindow::linkLost()
{
    ::PostMessageW(window_, kLinkLost, 0, 0);
}

void MainWindow::searchFinished()
{
    ::PostMessageW(window_, kSearchFinished, 0, 0);
}

}  // namespace korvane
