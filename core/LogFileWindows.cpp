// Korvane - screen acquisition engine: the link log on Windows.
// SPDX-License-Identifier: MIT
#include "LogFile.h"

#include "WindowsText.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace korvane {

std::FILE* createLogFile(const std::string& path)
{
    // Shared with nobody while the program runs, and not inheritable.
    const HANDLE file = ::CreateFileW(wideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(file);
        return nullptr;
    }
    std::FILE* log = ::_fdopen(descriptor, "wb");
    if (!log)
        ::_close(descriptor);
    return log;
}

}  // namespace korvane
