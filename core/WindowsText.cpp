// Korvane - the Windows side of the core.
// SPDX-License-Identifier: MIT
#include "WindowsText.h"

#include <windows.h>

#include <cwchar>

namespace korvane {

std::wstring wideFromUtf8(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), length);
    return wide;
}

std::string utf8FromWide(const wchar_t* wide)
{
    const int wideLength = int(std::wcslen(wide));
    if (wideLength == 0)
        return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string systemErrorText(unsigned long code)
{
    wchar_t* words = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    if (length == 0)
        return "system error " + std::to_string(code);
    std::string text = utf8FromWide(words);
    ::LocalFree(words);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

}  // namespace korvane
