// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <windows.h>

#include <string>

namespace korvane::pictorix {

// The picture as a device-independent bitmap (the bitmap file that our own
// writer makes, without its 14-byte file header): one form for the screen,
// the printer and the clipboard, with its palette and indices as they are.
class DeviceBitmap {
public:
    explicit DeviceBitmap(const Picture& picture);

    int width() const { return width_; }
    int height() const { return height_; }

    // Draws the whole picture stretched into the rectangle, in the device
    // context's own units. False when the device refuses it.
    bool draw(HDC dc, int left, int top, int width, int height) const;

    // Puts the picture on the clipboard as CF_DIB; false when it is taken.
    bool copyToClipboard(HWND owner) const;

private:
    std::string info_;  // header, colour table and pixels
    std::size_t pixelsAt_ = 0;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace korvane::pictorix
