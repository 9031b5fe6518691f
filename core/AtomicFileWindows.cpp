// Korvane - shared by the programs: replacing a file on Windows.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include "WindowsText.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace korvane {

namespace {

// Told apart per process and per call, so that threads and programs writing
// beside the same target never share a temporary file.
std::wstring temporaryName(const std::wstring& target)
{
    static std::atomic<unsigned> made{0};
    return target + L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(made++);
}

DWORD writeAndFlush(HANDLE file, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes + done, DWORD(std::min<std::size_t>(size - done, 1 << 30)), &written, nullptr))
            return ::GetLastError();
        done += written;
    }
    return ::FlushFileBuffers(file) ? ERROR_SUCCESS : ::GetLastError();
}

// A virus scanner or an indexer may hold the new file, or a reader the old
// one, for a moment; the replacement is tried again for a fifth of a second
// before it counts as failed.
DWORD moveOver(const std::wstring& from, const std::wstring& to)
{
    for (int tries = 0;; ++tries) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || tries == 20)
            return error;
        ::Sleep(10);
    }
}

}  // namespace

bool replaceFile(const std::string& path, const void* data, std::size_t size, std::string* error)
{
    auto failed = [&](const char* what, DWORD code) {
        if (error)
            *error = std::string(what) + " " + path + ": " + systemErrorText(code);
        return false;
    };
    const std::wstring target = wideFromUtf8(path);
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int tries = 0; file == INVALID_HANDLE_VALUE && tries < 100; ++tries) {
        temporary = temporaryName(target);
        // Shared with nobody while it is written, and not inherited by a
        // program another thread starts meanwhile.
        file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE)
        return failed("cannot create a file beside", ::GetLastError());

    // On the disk before it replaces the target: a crash then leaves the old
    // file or the new one, never a short one.
    DWORD code = writeAndFlush(file, data, size);
    ::CloseHandle(file);
    if (code == ERROR_SUCCESS)
        code = moveOver(temporary, target);
    if (code != ERROR_SUCCESS) {
        ::DeleteFileW(temporary.c_str());
        return failed("cannot write", code);
    }
    return true;
}

}  // namespace korvane
