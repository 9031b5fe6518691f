// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
#include "LiveView.h"

#include "Engine.h"

namespace korvane {

void LiveView::resize(LPARAM size)
{
    clientWidth_ = LOWORD(size);
    clientHeight_ = HIWORD(size);
}

void LiveView::paint(HWND window, const Engine& engine) const
{
    PAINTSTRUCT paint;
    const HDC context = ::BeginPaint(window, &paint);
    const bool linked = engine.isConnected() == 1;
    // The stored bitmap is bottom-up: drawn from the bottom-right pixel
    // with both extents negative, it is turned by 180 degrees, stored row 0
    // at the top and each row's first pixel at the right. A mirrored
    // rectangle reaches from its origin pixel back over its extent: from
    // (width, height) it would leave the top row and left column bare and
    // lose a row and a column of the picture beyond the edges.
    const bool drawn = linked && engine.screen().read([&](const ScreenView& screen) {
        // Nearest pixel: a shrunk picture drops rows and columns instead of
        // blending a thin trace into the background.
        ::SetStretchBltMode(context, COLORONCOLOR);
        ::StretchDIBits(context, clientWidth_ - 1, clientHeight_ - 1, -clientWidth_, -clientHeight_, 0, 0,
                        screen.imageWidth, screen.imageHeight, screen.pixelData,
                        reinterpret_cast<const BITMAPINFO*>(screen.bitmapInfo), DIB_RGB_COLORS, SRCCOPY);
    });
    if (!drawn) {
        // No picture to show: the area takes the window colour, as after an
        // erase, so that neither the last picture of a lost link nor stale
        // pixels stay under the hint.
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(context, &client, ::GetSysColorBrush(COLOR_WINDOW));
        if (!linked)
            ::DrawTextW(context, L"Please change the DSO into USB mode !", -1, &client,
                        DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    ::EndPaint(window, &paint);
}

}  // namespace korvane
