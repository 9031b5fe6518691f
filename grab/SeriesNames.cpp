// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "SeriesNames.h"

#include "Utf8Path.h"

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

    const std::filesystem::path given = pathFromUtf8(given_);
    const std::string stem = utf8FromPath(given.stem()) + stamp;
    const std::string extension = utf8FromPath(given.extension());
    for (int n = 1;; ++n) {
        const std::string suffix = n == 1 ? std::string() : "-" + std::to_string(n);
        const std::filesystem::path file = given.parent_path() / pathFromUtf8(stem + suffix + extension);
        const std::string name = utf8FromPath(file);
        std::error_code error;
        if (used_.count(name) == 0 && !std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
            used_.insert(name);
            return name;
        }
    }
}

}  // namespace korvane
