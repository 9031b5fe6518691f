// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#include "PrintCommand.h"

#include "RuntimeError.h"
#include "WindowsText.h"

#include <cderr.h>
#include <commdlg.h>

#include <cmath>

namespace korvane::pictorix {

namespace {

constexpr double kTwipsPerInch = 1440.0;

RuntimeError printerError(const std::string& what)
{
    return RuntimeError(RuntimeError::kPrinterError, "Printer error: " + what);
}

// Frees the handles PrintDlgW hands out.
struct PrinterSetup {
    PRINTDLGW dialog = {};
    ~PrinterSetup()
    {
        if (dialog.hDevMode)
            GlobalFree(dialog.hDevMode);
        if (dialog.hDevNames)
            GlobalFree(dialog.hDevNames);
    }
};

}  // namespace

HDC PrintCommand::defaultPrinterInLandscape()
{
    PrinterSetup setup;
    setup.dialog.lStructSize = sizeof setup.dialog;
    setup.dialog.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgW(&setup.dialog) || !setup.dialog.hDevNames || !setup.dialog.hDevMode) {
        if (CommDlgExtendedError() == PDERR_NODEFAULTPRN || CommDlgExtendedError() == 0)
            throw printerError("no default printer is set up. Set up a default printer and print again.");
        throw printerError("the default printer cannot be used (common dialog error "
                           + std::to_string(CommDlgExtendedError()) + ").");
    }
    auto* names = static_cast<DEVNAMES*>(GlobalLock(setup.dialog.hDevNames));
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(setup.dialog.hDevMode));
    const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
    mode->dmOrientation = DMORIENT_LANDSCAPE;
    mode->dmFields |= DM_ORIENTATION;
    HDC printer = CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode);
    const std::string name = utf8FromWide(base + names->wDeviceOffset);
    GlobalUnlock(setup.dialog.hDevMode);
    GlobalUnlock(setup.dialog.hDevNames);
    if (!printer)
        throw printerError("the default printer " + name + " cannot be used.");
    return printer;
}

void PrintCommand::print(const DeviceBitmap& picture)
{
    HDC printer = defaultPrinterInLandscape();
    const int dotsX = GetDeviceCaps(printer, LOGPIXELSX);
    const int dotsY = GetDeviceCaps(printer, LOGPIXELSY);
    const double w = GetDeviceCaps(printer, PHYSICALWIDTH) * kTwipsPerInch / dotsX;
    const double h = GetDeviceCaps(printer, PHYSICALHEIGHT) * kTwipsPerInch / dotsY;
    // Twips of the page to the printer's dots, from its drawing area's corner.
    const auto dotsOf = [](double twips, int dots) { return int(std::lround(twips * dots / kTwipsPerInch)); };
    const int left = dotsOf(double(float(0.1 * w)), dotsX);
    const int top = dotsOf(double(float(0.07 * h)), dotsY);
    DOCINFOW document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = L"ZLS740";
    bool printed = dotsX > 0 && dotsY > 0 && StartDocW(printer, &document) > 0;
    if (printed) {
        printed = StartPage(printer) > 0
            && picture.draw(printer, left, top, dotsOf(0.8 * w, dotsX), dotsOf(0.77 * h, dotsY))
            && EndPage(printer) > 0;
        printed = printed ? EndDoc(printer) > 0 : (AbortDoc(printer), false);
    }
    DeleteDC(printer);
    if (!printed)
        throw printerError("the default printer did not accept the document.");
}

void PrintCommand::run(HWND owner, const DeviceBitmap& picture)
{
    try {
        print(picture);
    } catch (const RuntimeError& error) {
        MessageBoxW(owner, wideFromUtf8(error.description()).c_str(), L"ZLS740", MB_OK | MB_ICONWARNING);
    }
}

}  // namespace korvane::pictorix
