// Korvane - Pictorix image tool for Windows.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <cstdint>
#include <string>

namespace korvane::pictorix {

// What the image conversion control does with SaveImage on Windows: the
// picture in the format of a format code, written to a file that is
// replaced all or nothing. BMP and PCX come from our own writers, PNG, TIFF
// and JPEG from the system's encoders; the other codes name options the form
// never shows and are refused with 31001.
class PictureFile {
public:
    // The file's bytes. Throws RuntimeError: 380 for an unknown code, 31001
    // for a format not written here, 31002 when encoding fails.
    static std::string encode(const Picture& picture, std::int16_t formatCode);

    // Writes `path` (UTF-8, used as it stands: no extension is added).
    // Throws RuntimeError as encode() does, 31003 without a picture, 76 when
    // the folder does not exist, 75 when the file cannot be written.
    static void save(const Picture& picture, const std::string& path, std::int16_t formatCode);
};

}  // namespace korvane::pictorix
