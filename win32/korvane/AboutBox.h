// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace korvane {

// The About box: dialog 103 of the resources, its picture and lines laid out
// there; this is its procedure.
class AboutBox {
public:
    // Focus on the default button at the start; OK (the button or Enter) and
    // Cancel (Esc or the close box) end the box with their id.
    static INT_PTR CALLBACK procedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace korvane
