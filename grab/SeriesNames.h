// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#pragma once

#include <ctime>
#include <set>
#include <string>

namespace korvane {

// The file names of a series of screens, derived from the name given by
// inserting the local date and time before the extension:
// shot.png -> shot-20240408-114955.png. A name already given out in this
// series or already on disk is not reused: the next screen of the same
// second becomes shot-20240408-114955-2.png, then -3, and so on.
class SeriesNames {
public:
    explicit SeriesNames(std::string given);

    // The name for a screen taken at `when`.
    std::string next(std::time_t when);

private:
    std::string given_;
    std::set<std::string> used_;
};

}  // namespace korvane
