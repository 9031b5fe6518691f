// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#include "SaveCommand.h"

#include "PictureFile.h"
#include "ProgramStart.h"
#include "RuntimeError.h"
#include "WindowsText.h"

#include <commdlg.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

namespace korvane::pictorix {

namespace {

// Longest path the dialog may return, in UTF-16 units.
constexpr DWORD kLongestPath = 32768;

// The folder exists (or was just made) and a file can be made in it.
bool writableFolder(const std::wstring& folder)
{
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    wchar_t probe[MAX_PATH + 1];
    if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"ktp", 0, probe))
        return false;
    DeleteFileW(probe);
    return true;
}

std::wstring picturesFolder()
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

std::wstring SaveCommand::proposedFileName(const SYSTEMTIME& now)
{
    wchar_t name[16];
    std::swprintf(name, 16, L"%02u%02u%02u%02u%02u", unsigned(now.wMonth), unsigned(now.wDay), unsigned(now.wHour),
                  unsigned(now.wMinute), unsigned(now.wSecond));
    return name;
}

std::wstring SaveCommand::imageFolder(const std::wstring& programFolder)
{
    const std::wstring besideProgram = programFolder + L"\\Img";
    if (writableFolder(besideProgram))
        return besideProgram;
    const std::wstring pictures = picturesFolder();
    if (!pictures.empty() && writableFolder(pictures + L"\\Img"))
        return pictures + L"\\Img";
    return besideProgram;
}

std::optional<std::wstring> SaveCommand::ask(HWND owner, const std::wstring& folder, const std::wstring& name,
                                             const std::string& fileExtension)
{
    // One entry whose description and pattern are both "*.jpg".
    const std::wstring pattern = L"*." + wideFromUtf8(fileExtension);
    const std::wstring filter = pattern + L'\0' + pattern + L'\0';
    std::vector<wchar_t> file(kLongestPath, L'\0');
    name.copy(file.data(), kLongestPath - 1);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kLongestPath;
    dialog.lpstrInitialDir = folder.c_str();
    // No default extension: the name is used as the user leaves it.
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetSaveFileNameW(&dialog))
        return std::wstring(file.data());
    if (const DWORD error = CommDlgExtendedError())
        throw RuntimeError(RuntimeError::kFileAccess,
                           "The save dialog cannot be shown (common dialog error " + std::to_string(error) + ")");
    return std::nullopt;
}

void SaveCommand::run(HWND owner, const Picture& picture, std::int16_t fileTypeCode, const std::string& fileExtension)
{
    try {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const std::wstring folder = imageFolder(wideFromUtf8(ProgramStart::folder(nullptr)));
        const std::optional<std::wstring> chosen = ask(owner, folder, proposedFileName(now), fileExtension);
        if (chosen)
            PictureFile::save(picture, utf8FromWide(chosen->c_str()), fileTypeCode);
    } catch (const RuntimeError& error) {
        MessageBoxW(owner, wideFromUtf8(error.description()).c_str(), L"ZLS740", MB_OK);
    }
}

}  // namespace korvane::pictorix
