// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "DeviceBitmap.h"
#include "Picture.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace korvane::pictorix {

// The form frmZLS740: the picture in its image area, the five visible
// file-type options (four more hidden, never reachable), Print, Save and
// Close, at their places in twips turned into pixels of the screen. The
// keyboard works as on a dialog: Tab follows the tab indices, Space presses
// the focused button, arrows move among the options; Ctrl+C copies the
// picture. Enter and Escape do nothing: there is no default button.
class FrmZLS740 {
public:
    static constexpr int kOptionCount = 9;

    explicit FrmZLS740(Picture picture);

    // Makes and shows the window; false when the system refuses it.
    bool create(HINSTANCE instance, int show);
    // Runs until the form is closed; the program's exit code.
    int run();

private:
    static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void buildControls(HINSTANCE instance);
    HWND control(const wchar_t* kind, const char* caption, DWORD style, int id, RECT twips);
    int pixelsX(int twips) const;
    int pixelsY(int twips) const;
    void opFiletypeClick(int index);
    void paintLine();

    Picture picture_;
    DeviceBitmap bitmap_;
    HWND form_ = nullptr;
    HFONT font_ = nullptr;
    HWND focused_ = nullptr;
    int dotsX_ = 96;
    int dotsY_ = 96;
    HWND opFiletype_[kOptionCount] = {};
    std::int16_t fileTypeCode_ = 11;
    std::string fileExtension_ = "jpg";
};

}  // namespace korvane::pictorix
