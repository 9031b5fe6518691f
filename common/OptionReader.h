// Korvane - command-line options.
// SPDX-License-Identifier: MIT
#pragma once

#include <charconv>
#include <cstddef>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace korvane {

// Walks the arguments of a program's command line, one option at a time.
// An option takes its value as the next argument or after '=' ("--port=COM5",
// long options only); a value read from the next argument is taken as it
// stands, even when it starts with '-'. Every reading refuses with a one-line
// reason that names the option, such as "option --count needs a whole number
// from 1 to 10", stored in the error text given at construction.
class OptionReader {
public:
    // `error` may be null when the reason is of no interest.
    OptionReader(const std::vector<std::string>& arguments, std::string* error);

    // Moves to the next argument; false once all are read.
    bool next();
    // The option's name: the argument without any "=value".
    const std::string& name() const { return name_; }
    // The argument as given, for messages about it.
    const std::string& argument() const { return argument_; }

    // The value after '=', else the next argument; none when the line ends.
    std::optional<std::string> value();

    // An option without a value: sets `target`; refuses "--mono=yes".
    bool flag(bool& target);
    // Any text but an empty one.
    bool text(std::string& target);
    // A whole number of at least `minimum`, or from `minimum` to `maximum`.
    template <typename Integer>
    bool integer(Integer& target, std::type_identity_t<Integer> minimum);
    template <typename Integer>
    bool integer(Integer& target, std::type_identity_t<Integer> minimum, std::type_identity_t<Integer> maximum);
    // A finite decimal number (no range); none when the value is missing or
    // is no number. The caller refuses with its own reason.
    std::optional<double> decimal();
    // Seconds up to `longest`: 0 only when `zeroAllowed`, fractions welcome.
    bool seconds(double& target, bool zeroAllowed, int longest);

    // Stores `reason` as the error; returns false, for `return reader.fail(...)`.
    bool fail(const std::string& reason);

private:
    template <typename Integer>
    static bool parseInteger(const std::string& text, Integer& value);

    const std::vector<std::string>& arguments_;
    std::string* error_;
    std::size_t next_ = 0;
    std::string argument_;
    std::string name_;
    std::optional<std::string> inlineValue_;
};

template <typename Integer>
bool OptionReader::parseInteger(const std::string& text, Integer& value)
{
    Integer parsed{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

template <typename Integer>
bool OptionReader::integer(Integer& target, std::type_identity_t<Integer> minimum)
{
    const auto v = value();
    Integer parsed{};
    if (!v || !parseInteger(*v, parsed) || parsed < minimum)
        return fail("option " + name_ + " needs a whole number of at least " + std::to_string(minimum));
    target = parsed;
    return true;
}

template <typename Integer>
bool OptionReader::integer(Integer& target, std::type_identity_t<Integer> minimum,
                           std::type_identity_t<Integer> maximum)
{
    const auto v = value();
    Integer parsed{};
    if (!v || !parseInteger(*v, parsed) || parsed < minimum || parsed > maximum)
        return fail("option " + name_ + " needs a whole number from " + std::to_string(minimum) + " to "
                    + std::to_string(maximum));
    target = parsed;
    return true;
}

}  // namespace korvane
