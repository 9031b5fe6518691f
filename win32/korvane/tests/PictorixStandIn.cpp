// Korvane - a stand-in for Pictorix.exe in korvane.exe's window tests.
// SPDX-License-Identifier: MIT
//
// Notes that it was started, and where: the file "pictorix-ran" in its
// current folder holds that folder's path. Exit code 1 when it cannot.
#include <windows.h>

#include <cstdio>

int main()
{
    wchar_t folder[MAX_PATH] = L"";
    if (::GetCurrentDirectoryW(MAX_PATH, folder) == 0)
        return 1;
    std::FILE* note = std::fopen("pictorix-ran", "wb");
    if (!note)
        return 1;
    const bool written = std::fprintf(note, "%ls\n", folder) > 0;
    return std::fclose(note) == 0 && written ? 0 : 1;
}
