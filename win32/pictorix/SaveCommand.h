// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace korvane::pictorix {

// Save: the system's save dialog on the Img folder beside the program,
// proposing the time-stamped name, with one filter entry for the chosen
// extension; the chosen name is used as it stands. Cancel ends it silently,
// any other failure shows its description in a message box.
class SaveCommand {
public:
    static void run(HWND owner, const Picture& picture, std::int16_t fileTypeCode, const std::string& fileExtension);

    // "MMDDhhmmss" of the local time: 0408114955 for 8 April, 11:49:55.
    static std::wstring proposedFileName(const SYSTEMTIME& now);

    // The Img folder beside the program, made if it is missing; when it
    // cannot be written (a protected program folder), Img in the user's
    // Pictures folder; failing both, the folder beside the program all the
    // same, where the dialog lets the user go elsewhere.
    static std::wstring imageFolder(const std::wstring& programFolder);

private:
    // The chosen file name, or nothing when the user cancelled.
    static std::optional<std::wstring> ask(HWND owner, const std::wstring& folder, const std::wstring& name,
                                           const std::string& fileExtension);
};

}  // namespace korvane::pictorix
