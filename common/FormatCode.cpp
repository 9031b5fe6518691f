// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#include "FormatCode.h"

#include "RuntimeError.h"

namespace korvane::pictorix {

std::string FormatCode::name(std::int16_t code)
{
    static const char* const names[] = {"wmf", "bmp", "gif", "Ico", "cur", "pcx", "tif", "png", "jpg"};
    if (code < kFirst || code > kLast)
        return {};
    return names[code - kFirst];
}

void FormatCode::require(std::int16_t code, bool writable)
{
    if (name(code).empty())
        throw RuntimeError(RuntimeError::kInvalidPropertyValue,
                           "Invalid property value: unknown image format code " + std::to_string(code)
                               + " (the codes are " + std::to_string(kFirst) + " to " + std::to_string(kLast) + ")");
    if (!writable)
        throw RuntimeError(RuntimeError::kFormatNotAvailable,
                           "Cannot save as " + name(code)
                               + ": no encoder for this format is available here. "
                                 "Choose another file format.");
}

}  // namespace korvane::pictorix
