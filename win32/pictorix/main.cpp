// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
//
// Loads Temp.bmp from the current folder and shows the form. A snapshot
// that cannot be loaded ends the program with the report of an unhandled
// run-time error and exit code 1, before any window is shown.
#include "FrmZLS740.h"
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "WindowsText.h"

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <new>

using namespace korvane;
using namespace korvane::pictorix;

namespace {

constexpr int kStartupFailed = 1;

// On standard error in one line, and in a message box owned by no window.
void showUnhandledError(const RuntimeError& error)
{
    std::string line = error.unhandledText();
    line.replace(line.find("\n\n"), 2, " ");
    std::fprintf(stderr, "ZLS740: %s\n", line.c_str());
    std::fflush(stderr);
    MessageBoxW(nullptr, wideFromUtf8(error.unhandledText()).c_str(), L"ZLS740", MB_OK | MB_ICONERROR);
}

std::string currentFolder()
{
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    return utf8FromWide(folder.c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // The system's image encoders are COM objects of this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Picture picture;
    try {
        // The folder is taken as it is: in the root of a drive the path
        // gets a doubled separator, which the file system accepts.
        picture = SnapshotLoader::load(currentFolder() + "\\Temp.bmp");
    } catch (const RuntimeError& error) {
        showUnhandledError(error);
        return kStartupFailed;
    } catch (const std::bad_alloc&) {
        showUnhandledError(RuntimeError(RuntimeError::kOutOfMemory, "Out of memory"));
        return kStartupFailed;
    }
    FrmZLS740 form(std::move(picture));
    if (!form.create(instance, show))
        return kStartupFailed;
    return form.run();
}
