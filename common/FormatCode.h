// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace korvane::pictorix {

// The image conversion control's format codes, 3 to 11: the index of the
// form's file-type option plus 3.
class FormatCode {
public:
    static constexpr std::int16_t kWmf = 3;
    static constexpr std::int16_t kBmp = 4;
    static constexpr std::int16_t kGif = 5;
    static constexpr std::int16_t kIco = 6;
    static constexpr std::int16_t kCur = 7;
    static constexpr std::int16_t kPcx = 8;
    static constexpr std::int16_t kTif = 9;
    static constexpr std::int16_t kPng = 10;
    static constexpr std::int16_t kJpg = 11;
    static constexpr std::int16_t kFirst = kWmf;
    static constexpr std::int16_t kLast = kJpg;

    // The format's name as its option's caption spells it ("jpg" for 11), or
    // an empty string for an unknown code.
    static std::string name(std::int16_t code);

    // Raises RuntimeError 380 for an unknown code, and 31001 for a known one
    // that `writable` says this control cannot write.
    static void require(std::int16_t code, bool writable);
};

}  // namespace korvane::pictorix
