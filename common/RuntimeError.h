// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <string>

namespace korvane::pictorix {

// A run-time error of the image tool: a number and a description (UTF-8),
// as the form and its controls raise them on every platform. Only the Save
// command traps them; anything that escapes start-up ends the program with
// the unhandled-error report.
class RuntimeError : public std::exception {
public:
    // Numbers the tool raises. The cancel number is the save dialog's way of
    // saying "the user cancelled" and is never shown.
    static constexpr int kOutOfMemory = 7;
    static constexpr int kFileNotFound = 53;
    static constexpr int kFileAccess = 75;
    static constexpr int kPathNotFound = 76;
    static constexpr int kInvalidPropertyValue = 380;
    static constexpr int kInvalidPicture = 481;
    static constexpr int kPrinterError = 482;
    static constexpr int kFormatNotAvailable = 31001;
    static constexpr int kEncodingFailed = 31002;
    static constexpr int kNoPicture = 31003;
    static constexpr int kCancelSelected = 32755;

    RuntimeError(int number, std::string description)
        : number_(number)
        , description_(std::move(description))
    {
    }

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    // The report of an error that nothing caught:
    // "Run-time error '53':\n\nFile not found: ...".
    std::string unhandledText() const { return "Run-time error '" + std::to_string(number_) + "':\n\n" + description_; }

private:
    int number_;
    std::string description_;
};

}  // namespace korvane::pictorix
