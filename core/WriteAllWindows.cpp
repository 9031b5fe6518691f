// Korvane - shared by the programs: standard output on Windows.
// SPDX-License-Identifier: MIT
#include "WriteAll.h"

#include "WindowsText.h"

#include <windows.h>

#include <algorithm>

namespace korvane {

bool writeStandardOutput(const void* data, std::size_t size, std::string* reason)
{
    // The handle itself, not the C library's descriptor 1, which is in text
    // mode and would turn every 0A byte of an image into 0D 0A.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        if (!::WriteFile(out, bytes + done, DWORD(std::min<std::size_t>(size - done, 1 << 30)), &written, nullptr)) {
            *reason = systemErrorText(::GetLastError());
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace korvane
