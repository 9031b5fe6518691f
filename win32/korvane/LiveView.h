// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace korvane {

class Engine;

// The client area of the main window: the instrument's latest screen while
// the link is up, stretched over the whole area and turned upright;
// otherwise a one-line hint in its middle on the window colour.
class LiveView {
public:
    // WM_SIZE: the client size, 0x0 when minimised.
    void resize(LPARAM size);
    // WM_PAINT.
    void paint(HWND window, const Engine& engine) const;

private:
    int clientWidth_ = 0;
    int clientHeight_ = 0;
};

}  // namespace korvane
