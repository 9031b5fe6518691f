// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
//
// A stand-in image tool: writes to started.txt in its current folder that
// folder, the number of its arguments and the show command it was given
// (-1: none), one a line; then stays until done.txt appears there (at most
// two minutes), removes it and ends.
#include "Utf8Path.h"

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <fstream>

int main()
{
    int count = 0;
    ::LocalFree(::CommandLineToArgvW(::GetCommandLineW(), &count));
    STARTUPINFOW startup{};
    ::GetStartupInfoW(&startup);
    {
        std::ofstream out("started.txt.part", std::ios::binary);
        out << korvane::utf8FromPath(std::filesystem::current_path()) << "\n"
            << count - 1 << "\n"
            << ((startup.dwFlags & STARTF_USESHOWWINDOW) ? int(startup.wShowWindow) : -1) << "\n";
    }
    ::MoveFileExW(L"started.txt.part", L"started.txt", MOVEFILE_REPLACE_EXISTING);
    for (int waited = 0; waited < 12000 && !std::filesystem::exists("done.txt"); ++waited)
        ::Sleep(10);
    ::DeleteFileW(L"done.txt");
    return 0;
}
