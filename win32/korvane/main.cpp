// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#include "MainWindow.h"
#include "ProgramStart.h"
#include "ResourceIds.h"

#include <windows.h>

namespace {

// Title and class name are read into buffers of this many characters, cut
// to one less.
constexpr int kTextBuffer = 100;

}  // namespace

// The show state is the one of the process's start-up information when it
// carries one, else SW_SHOWDEFAULT: the runtime passes it as `show`.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    wchar_t title[kTextBuffer] = L"";
    wchar_t className[kTextBuffer] = L"";
    ::LoadStringW(instance, KORVANE_TITLE, title, kTextBuffer);
    ::LoadStringW(instance, KORVANE_CLASS, className, kTextBuffer);
    korvane::MainWindow::registerClass(instance, className);

    // The viewer's files live in the current folder; header2.bin and
    // Pictorix.exe also ship beside the program.
    korvane::MainWindow window(instance, korvane::ProgramStart::folder(nullptr));
    const HWND mainWindow = window.create(className, title);
    if (!mainWindow)
        return 0;
    ::ShowWindow(mainWindow, show);
    ::UpdateWindow(mainWindow);

    const HACCEL keys = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(KORVANE_CLASS));
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!::TranslateAcceleratorW(message.hwnd, keys, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return int(message.wParam);
}
