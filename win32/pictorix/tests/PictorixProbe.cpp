// Korvane - Pictorix image tool for Windows, tests.
// SPDX-License-Identifier: MIT
//
// pictorix-probe clipboard TARGET: the clipboard's CF_DIB as a bitmap file.
// Exit code 0, or 1 when the clipboard holds no bitmap.
#include "ProgramStart.h"
#include "Utf8Path.h"

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

int saveClipboard(const std::string& target)
{
    if (!OpenClipboard(nullptr))
        return 1;
    HANDLE data = GetClipboardData(CF_DIB);
    const auto* info = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (info) {
        // The file header that a DIB lacks: "BM", size, pixels' offset.
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(info);
        const std::size_t size = GlobalSize(data);
        const std::uint32_t fileHeader[3] = {std::uint32_t(size + 14), 0,
                                             std::uint32_t(14 + header->biSize + 4 * header->biClrUsed)};
        std::ofstream out(korvane::pathFromUtf8(target), std::ios::binary);
        out.write("BM", 2).write(reinterpret_cast<const char*>(fileHeader), 12).write(info, std::streamsize(size));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return info ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace korvane;
    const std::vector<std::string> arguments = ProgramStart::arguments(argc, argv);
    if (arguments.size() == 2 && arguments[0] == "clipboard")
        return saveClipboard(arguments[1]);
    return 2;
}
