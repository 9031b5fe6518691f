// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#include "AboutBox.h"

namespace korvane {

INT_PTR CALLBACK AboutBox::procedure(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(box, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace korvane
