// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "DeviceBitmap.h"

#include <windows.h>

namespace korvane::pictorix {

// Print: one landscape page of the default printer, the picture stretched
// into the rectangle from a tenth of the page's width and 7 % of its height,
// 80 % of the width wide and 77 % of the height high (page sizes in twips of
// the page turned to landscape, the place in the printer's drawing area).
// With no printer, or one that refuses the document, a message says so.
class PrintCommand {
public:
    static void run(HWND owner, const DeviceBitmap& picture);

private:
    // Throws RuntimeError 482 with what went wrong.
    static void print(const DeviceBitmap& picture);
    static HDC defaultPrinterInLandscape();
};

}  // namespace korvane::pictorix
