// Korvane - screen acquisition engine: starting programs on Windows.
// SPDX-License-Identifier: MIT
#include "ProcessLauncher.h"

#include "WindowsText.h"

#include <windows.h>

namespace korvane {

bool ProcessLauncher::isExecutable(const std::string& path)
{
    const std::wstring file = wideFromUtf8(path);
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    DWORD kind = 0;
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)
        && ::GetBinaryTypeW(file.c_str(), &kind);
}

std::string ProcessLauncher::programFileName(const std::string& name)
{
    return name + ".exe";
}

bool ProcessLauncher::startDetached(const std::string& program, const std::string& workingDir)
{
    if (!isExecutable(program))
        return false;
    const std::wstring file = wideFromUtf8(program);
    const std::wstring folder = wideFromUtf8(workingDir);
    // The program's name alone, quoted (no file name holds a quote): no
    // arguments, and no search along PATH, since the file is named in full.
    std::wstring commandLine = L"\"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    PROCESS_INFORMATION started{};
    // No handle of this process is inherited: the snapshot file, the port
    // and the log stay this program's alone.
    if (!::CreateProcessW(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &started))
        return false;
    // Never waited for: the program runs on its own.
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

}  // namespace korvane
