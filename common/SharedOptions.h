// Korvane - command-line options.
// SPDX-License-Identifier: MIT
#pragma once

#include "OptionReader.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Reads a program's command line: the options the programs share, read and
// refused in the same words by each (--help or -h, and for a program on the
// instrument --version, --port NAME, --baud N and --mono), into fields of the
// program's own; the program's other options by the program.
class SharedOptions {
public:
    // Reads the option the reader stands on when it is one of the program's
    // own: true once read, false when refused (the reason through
    // reader.fail()), none when the program has no such option.
    using OwnOptions = std::function<std::optional<bool>(OptionReader& reader)>;

    // A program whose only shared option is --help.
    explicit SharedOptions(bool& help);
    // A program on the instrument. --baud takes only a rate `isBaudRate`
    // accepts: the port layer's, which knows the rates the system can set.
    SharedOptions(bool& help, bool& version, std::string& port, int& baudRate, bool& monochrome,
                  bool (&isBaudRate)(int));

    // Reads the arguments after the program's name; options take their value
    // as the next argument or after '='. An argument that is no option of the
    // program's is refused: "unknown option -x", and a word without a dash
    // "unexpected argument WORD" followed by `wordHint` (none: an unknown
    // option too). False at the first refusal, with its reason in `error`.
    bool read(const std::vector<std::string>& arguments, std::string* error, const OwnOptions& own,
              const std::optional<std::string>& wordHint = std::string()) const;

private:
    std::optional<bool> readShared(OptionReader& reader) const;

    bool* help_;
    bool* version_ = nullptr;
    std::string* port_ = nullptr;
    int* baudRate_ = nullptr;
    bool* monochrome_ = nullptr;
    bool (*isBaudRate_)(int) = nullptr;
};

}  // namespace korvane
