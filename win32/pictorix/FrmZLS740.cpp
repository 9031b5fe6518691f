// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"

#include "PictorixResources.h"
#include "PrintCommand.h"
#include "SaveCommand.h"
#include "WindowsText.h"

#include <algorithm>

namespace korvane::pictorix {

namespace {

constexpr wchar_t kFormClass[] = L"frmZLS740";
constexpr wchar_t kPictureClass[] = L"TwistedPixel";
constexpr int kTwipsPerInch = 1440;
// Control ids; 1 and 2 stay free, they are what Enter and Escape send.
constexpr int kCmdPrint = 100;
constexpr int kCmdSave = 101;
constexpr int kCmdClose = 102;
constexpr int kFirstOption = 110;
constexpr int kCopy = 120;

struct OptionPlace {
    const char* caption;
    int top;  // twips, inside Frame1
    int tabIndex;
    bool shown;
};

// Index order of opFiletype; the format code of option i is i + 3.
constexpr OptionPlace kOptions[FrmZLS740::kOptionCount] = {
    {"wmf", 2400, 13, false}, {"bmp", 240, 12, true},  {"gif", 2040, 11, false},
    {"Ico", 2760, 10, false}, {"cur", 3120, 9, false}, {"pcx", 600, 8, true},
    {"tif", 960, 7, true},    {"png", 1320, 6, true},  {"jpg", 1680, 5, true},
};
constexpr int kJpgOption = 8;
constexpr RECT kFrame1 = {5040, 0, 5040 + 1095, 3855};

RECT twips(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

}  // namespace

FrmZLS740::FrmZLS740(Picture picture)
    : picture_(std::move(picture))
    , bitmap_(picture_)
{
}

int FrmZLS740::pixelsX(int twips) const
{
    return MulDiv(twips, dotsX_, kTwipsPerInch);
}

int FrmZLS740::pixelsY(int twips) const
{
    return MulDiv(twips, dotsY_, kTwipsPerInch);
}

bool FrmZLS740::create(HINSTANCE instance, int show)
{
    WNDCLASSEXW form = {};
    form.cbSize = sizeof form;
    form.lpfnWndProc = formProc;
    form.hInstance = instance;
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(PICTORIX_ICON));
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    WNDCLASSEXW picture = form;
    picture.lpfnWndProc = pictureProc;
    picture.lpszClassName = kPictureClass;
    if (!RegisterClassExW(&form) || !RegisterClassExW(&picture))
        return false;

    HDC screen = GetDC(nullptr);
    dotsX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dotsY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    // A fixed layout: no sizing border and no maximise box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer = {0, 0, pixelsX(6240), pixelsY(4545)};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    form_ = CreateWindowExW(0, kFormClass, L"ZLS 740", style, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, nullptr, instance, this);
    if (!form_)
        return false;
    buildControls(instance);
    // cmdPrint, tab index 0, has the focus first.
    focused_ = GetDlgItem(form_, kCmdPrint);
    ShowWindow(form_, show);
    // Started by another program, the form comes to the front with the
    // keyboard, as the viewer's Save/Print expects.
    SetForegroundWindow(form_);
    SetFocus(focused_);
    return true;
}

HWND FrmZLS740::control(const wchar_t* kind, const char* caption, DWORD style, int id, RECT place)
{
    HWND made = CreateWindowExW(0, kind, wideFromUtf8(caption).c_str(), WS_CHILD | style, pixelsX(place.left),
                                pixelsY(place.top), pixelsX(place.right) - pixelsX(place.left),
                                pixelsY(place.bottom) - pixelsY(place.top), form_, reinterpret_cast<HMENU>(INT_PTR(id)),
                                nullptr, nullptr);
    SendMessageW(made, WM_SETFONT, WPARAM(font_), FALSE);
    return made;
}

void FrmZLS740::buildControls(HINSTANCE)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);

    // Made in the order of the tab indices, which is the order Tab follows:
    // cmdPrint 0, cmdClose 1, picBMP 2 (hidden), cmdSave 3, Frame1 4, the
    // options from jpg (5) to wmf (13) as one group, tpBMP 15.
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    control(L"BUTTON", "Print", button, kCmdPrint, twips(3000, 4080, 975, 375));
    control(L"BUTTON", "Close", button, kCmdClose, twips(5160, 4080, 975, 375));
    control(L"STATIC", "", SS_BITMAP, 0, twips(120, 120, 4800, 3840));  // picBMP, hidden
    control(L"BUTTON", "Save", button, kCmdSave, twips(4080, 4080, 975, 375));
    control(L"BUTTON", "File format", WS_VISIBLE | BS_GROUPBOX, 0, kFrame1);
    int order[kOptionCount];
    for (int i = 0; i < kOptionCount; ++i)
        order[i] = i;
    std::sort(order, order + kOptionCount, [](int a, int b) { return kOptions[a].tabIndex < kOptions[b].tabIndex; });
    for (const int i : order) {
        const OptionPlace& option = kOptions[i];
        const DWORD style =
            BS_AUTORADIOBUTTON | (option.shown ? WS_VISIBLE : 0) | (i == order[0] ? WS_GROUP | WS_TABSTOP : 0);
        opFiletype_[i] = control(L"BUTTON", option.caption, style, kFirstOption + i,
                                 twips(kFrame1.left + 240, kFrame1.top + option.top, 800, 255));
    }
    SendMessageW(opFiletype_[kJpgOption], BM_SETCHECK, BST_CHECKED, 0);
    HWND tpBMP = control(kPictureClass, "", WS_VISIBLE | WS_GROUP, 0, twips(120, 120, 4815, 3735));
    SetWindowLongPtrW(tpBMP, GWLP_USERDATA, LONG_PTR(&bitmap_));
}

void FrmZLS740::opFiletypeClick(int index)
{
    fileTypeCode_ = std::int16_t(index + 3);
    fileExtension_ = kOptions[index].caption;
}

void FrmZLS740::paintLine()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(form_, &paint);
    // Line1, the separator above the buttons, across the whole form.
    RECT line = {0, pixelsY(3960), pixelsX(6240), pixelsY(3960) + 1};
    FillRect(dc, &line, GetSysColorBrush(COLOR_WINDOWTEXT));
    EndPaint(form_, &paint);
}

LRESULT FrmZLS740::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: paintLine(); return 0;
    case WM_ACTIVATE:
        // As a dialog does: the focused control is kept while another
        // window (the save dialog, a message) is active, and gets the
        // focus back after it.
        if (LOWORD(wParam) == WA_INACTIVE)
            focused_ = GetFocus();
        return DefWindowProcW(form_, message, wParam, lParam);
    case WM_SETFOCUS:
        if (focused_ && IsChild(form_, focused_))
            SetFocus(focused_);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // The frame and the options on the form's own colour.
        SetBkColor(HDC(wParam), GetSysColor(COLOR_BTNFACE));
        return LRESULT(GetSysColorBrush(COLOR_BTNFACE));
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == kCmdSave)
            SaveCommand::run(form_, picture_, fileTypeCode_, fileExtension_);
        else if (id == kCmdPrint)
            PrintCommand::run(form_, bitmap_);
        else if (id == kCmdClose)
            DestroyWindow(form_);
        else if (id == kCopy)
            bitmap_.copyToClipboard(form_);
        else if (id >= kFirstOption && id < kFirstOption + kOptionCount && HIWORD(wParam) == BN_CLICKED)
            opFiletypeClick(id - kFirstOption);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(form_, message, wParam, lParam);
    }
}

LRESULT CALLBACK FrmZLS740::formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<FrmZLS740*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->form_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(form));
    }
    auto* form = reinterpret_cast<FrmZLS740*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return form ? form->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FrmZLS740::pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    // The picture at its own size from the top left corner; one larger than
    // the area is shrunk to fit, keeping its proportions.
    if (const auto* bitmap = reinterpret_cast<const DeviceBitmap*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
        RECT area;
        GetClientRect(window, &area);
        double scale = std::min({1.0, double(area.right) / bitmap->width(), double(area.bottom) / bitmap->height()});
        bitmap->draw(dc, 0, 0, int(bitmap->width() * scale), int(bitmap->height() * scale));
    }
    EndPaint(window, &paint);
    return 0;
}

int FrmZLS740::run()
{
    ACCEL copy = {FVIRTKEY | FCONTROL, 'C', kCopy};
    HACCEL keys = CreateAcceleratorTableW(&copy, 1);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(form_, keys, &message) || IsDialogMessageW(form_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyAcceleratorTable(keys);
    DeleteObject(font_);
    return int(message.wParam);
}

}  // namespace korvane::pictorix
