// Korvane - shared by the programs.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <ostream>

namespace korvane {

// Writes a picture as a run-length coded PCX file (version 5). An indexed
// picture (the 16-colour snapshot) becomes one 8-bit plane with the
// 256-entry palette at the end of the file; any other picture becomes three
// 8-bit planes (red, green, blue) per line. Both keep every pixel exactly.
class PcxWriter {
public:
    // False when the picture is empty, larger than the format's 65535
    // pixels a side, or `out` fails.
    static bool write(std::ostream& out, const Picture& picture);
};

}  // namespace korvane
