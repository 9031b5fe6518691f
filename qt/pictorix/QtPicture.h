// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <QImage>

namespace korvane::pictorix {

// The shared picture of the loader and the writers as a Qt image and back:
// an indexed picture is an 8-bit image with its colour table, any other one
// an RGB32 image, so that both keep every pixel and index.
class QtPicture {
public:
    static QImage toImage(const Picture& picture);
    // Indexed and one-bit images keep their indices and colour table (at
    // most 256 entries); any other image becomes direct colours.
    static Picture fromImage(const QImage& image);
};

}  // namespace korvane::pictorix
