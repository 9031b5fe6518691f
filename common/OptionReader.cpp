// Korvane - command-line options.
// SPDX-License-Identifier: MIT
#include "OptionReader.h"

#include <cmath>
#include <cstdlib>

namespace korvane {

OptionReader::OptionReader(const std::vector<std::string>& arguments, std::string* error)
    : arguments_(arguments)
    , error_(error)
{
}

bool OptionReader::next()
{
    if (next_ >= arguments_.size())
        return false;
    argument_ = arguments_[next_++];
    name_ = argument_;
    inlineValue_.reset();
    // Only long options take a value after '=': "-o=x" stays one name,
    // which no program knows.
    if (const auto eq = name_.find('='); name_.rfind("--", 0) == 0 && eq != std::string::npos) {
        inlineValue_ = name_.substr(eq + 1);
        name_.resize(eq);
    }
    return true;
}

std::optional<std::string> OptionReader::value()
{
    if (inlineValue_)
        return inlineValue_;
    if (next_ < arguments_.size())
        return arguments_[next_++];
    return std::nullopt;
}

bool OptionReader::flag(bool& target)
{
    if (inlineValue_)
        return fail("option " + name_ + " takes no value");
    target = true;
    return true;
}

bool OptionReader::text(std::string& target)
{
    const auto v = value();
    if (!v || v->empty())
        return fail("option " + name_ + " needs a value");
    target = *v;
    return true;
}

std::optional<double> OptionReader::decimal()
{
    const auto v = value();
    if (!v || v->empty())
        return std::nullopt;
    char* end = nullptr;
    const double parsed = std::strtod(v->c_str(), &end);
    if (end != v->c_str() + v->size() || !std::isfinite(parsed))
        return std::nullopt;
    return parsed;
}

bool OptionReader::seconds(double& target, bool zeroAllowed, int longest)
{
    const auto v = decimal();
    if (!v || *v > longest || *v < 0 || (*v == 0 && !zeroAllowed))
        return fail("option " + name_ + " needs a number of seconds, " + (zeroAllowed ? "0" : "more than 0") + " to "
                    + std::to_string(longest));
    target = *v;
    return true;
}

bool OptionReader::fail(const std::string& reason)
{
    if (error_)
        *error_ = reason;
    return false;
}

}  // namespace korvane
