// Korvane - viewer window for Windows.
// SPDX-License-Identifier: MIT
//
// The numbers of the viewer's resources and menu commands, shared by the
// resource script (hence macros) and the code.
#pragma once

// String 103 is the window title; string 109 the window class name, and
// 109 also numbers the menu and the accelerator table.
#define KORVANE_TITLE 103
#define KORVANE_CLASS 109
#define KORVANE_ABOUT_BOX 103
#define KORVANE_ICON 131
#define KORVANE_ABOUT_PICTURE 129

// Menu commands, as WM_COMMAND carries them.
#define KORVANE_ABOUT 104
#define KORVANE_EXIT 105
#define KORVANE_CONNECT 32771
#define KORVANE_SAVE_PRINT 32773
#define KORVANE_COLOR 32778
#define KORVANE_PAUSE 32779
