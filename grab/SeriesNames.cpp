// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "SeriesNames.h"

#include <filesystem>
#include <system_error>

namespace korvane {

SeriesNames::SeriesNames(std::string given)
    : given_(std::move(given))
{
}

std::string SeriesNames::next(std::time_t when)
{
    std::tm local{};
    ::localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);

    const std::filesystem::path given(given_);
    const std::string stem = given.stem().string() + stamp;
    const std::string extension = given.extension().string();
    for (int n = 1;; ++n) {
        const std::string suffix = n == 1 ? std::string() : "-" + std::to_string(n);
        const std::string name = (given.parent_path() / (stem + suffix + extension)).string();
        std::error_code error;
        if (used_.count(name) == 0 && !std::filesystem::exists(std::filesystem::symlink_status(name, error))) {
            used_.insert(name);
            return name;
        }
    }
}

}  // namespace korvane
