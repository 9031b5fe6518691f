// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace korvane::pictorix {

// A run-time error of the image tool: a number and a description, as the form
// and its controls raise them. Only the Save command traps them; anything that
// escapes start-up ends the program with the unhandled-error report.
class RuntimeError : public std::exception {
public:
    // Numbers the tool raises. The cancel number is the save dialog's way of
    // saying "the user cancelled" and is never shown.
    static constexpr int kFileNotFound = 53;
    static constexpr int kFileAccess = 75;
    static constexpr int kPathNotFound = 76;
    static constexpr int kInvalidPropertyValue = 380;
    static constexpr int kInvalidPicture = 481;
    static constexpr int kFormatNotAvailable = 31001;
    static constexpr int kEncodingFailed = 31002;
    static constexpr int kNoPicture = 31003;
    static constexpr int kCancelSelected = 32755;

    RuntimeError(int number, QString description)
        : number_(number)
        , description_(std::move(description))
        , what_(description_.toStdString())
    {
    }

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

}  // namespace korvane::pictorix
