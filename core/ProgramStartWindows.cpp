// Korvane - shared by the programs: a program's start on Windows.
// SPDX-License-Identifier: MIT
#include "ProgramStart.h"

#include "Utf8Path.h"
#include "WindowsText.h"

#include <windows.h>

#include <shellapi.h>

namespace korvane {

std::vector<std::string> ProgramStart::arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

std::string ProgramStart::folder(const char*)
{
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()));
        if (length == 0)
            return {};
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    return utf8FromPath(std::filesystem::path(program).parent_path());
}

}  // namespace korvane
