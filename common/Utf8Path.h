// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace korvane {

// Paths are UTF-8 text everywhere in Korvane's own code and become the
// system's kind of path only here, so that a folder named in any language
// works on every system: on Windows, std::filesystem::path's own conversion
// from std::string follows the ANSI code page or the C library's locale,
// never UTF-8.
std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string utf8FromPath(const std::filesystem::path& path);

}  // namespace korvane
