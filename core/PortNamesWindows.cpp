// Korvane - screen acquisition engine: port names on Windows.
// SPDX-License-Identifier: MIT
#include "PortNames.h"

#include "WindowsText.h"

#include <windows.h>

#include <charconv>

namespace korvane {

namespace {

// n of "COMn" (any case, as Windows takes it); 0 for any other name.
int comNumber(const std::string& name)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (name.size() < 4 || lower(name[0]) != 'c' || lower(name[1]) != 'o' || lower(name[2]) != 'm')
        return 0;
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [rest, error] = std::from_chars(name.data() + 3, end, number);
    return error == std::errc() && rest == end && number > 0 ? number : 0;
}

// Whether the system's list of serial ports (what Device Manager shows
// under Ports) has COMn.
bool isListed(int number)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool listed = false;
    for (DWORD index = 0; !listed; ++index) {
        wchar_t name[256];
        wchar_t port[64];
        DWORD nameLength = 256;
        DWORD portBytes = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result =
            ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(port), &portBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        port[portBytes / sizeof(wchar_t)] = L'\0';
        listed = comNumber(utf8FromWide(port)) == number;
    }
    ::RegCloseKey(key);
    return listed;
}

}  // namespace

std::string PortNames::device(const std::string& portName)
{
    const int number = comNumber(portName);
    if (number == 0 || ((number < 2 || number > 9) && !isListed(number)))
        return {};
    // The device namespace's own name: the only one that reaches COM10 and
    // above, and no file in the current folder can stand in for it.
    return "\\\\.\\COM" + std::to_string(number);
}

bool PortNames::exists(const std::string& device)
{
    // Opened for no access at all: enough to learn whether there is such a
    // thing; a port another program holds refuses even that, and exists.
    const HANDLE handle = ::CreateFileW(wideFromUtf8(device).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return true;
    }
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME;
}

std::string PortNames::resolve(const std::string&, const std::string& portName)
{
    if (portName.find_first_of("/\\") != std::string::npos)
        return portName;
    return device(portName);
}

}  // namespace korvane
