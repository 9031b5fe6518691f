// Korvane - the Windows side of the core.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace korvane {

// Text crosses into Windows as UTF-16 and comes back as UTF-8: the core's
// strings are UTF-8 throughout, and the system's "W" calls take any
// language, where the "A" calls know only the ANSI code page.
std::wstring wideFromUtf8(const std::string& utf8);
std::string utf8FromWide(const wchar_t* wide);

// The system's own words for an error code of GetLastError(), in the user's
// language, without the closing full stop and line end.
std::string systemErrorText(unsigned long code);

}  // namespace korvane
