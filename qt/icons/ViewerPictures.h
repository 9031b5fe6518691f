// Korvane - the programs' pictures.
// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QImage>

namespace korvane {

// The viewer's own pictures, drawn here rather than loaded, so that they
// are the same on every build: an oscilloscope with a trace on its screen.
// Every picture is an 8-bit indexed image of at most 16 colours.
class ViewerPictures {
public:
    // The program icon: the two images below, 32x32 and 72x72.
    static QIcon programIcon();
    // One image of the icon, `size` pixels square; outside the instrument
    // the icon is transparent.
    static QImage iconImage(int size);
    // The About box picture, 240x120: the instrument and the computer it
    // shows its screen on.
    static QImage aboutPicture();

    // The sizes of the icon's images.
    static constexpr int kSmallIcon = 32;
    static constexpr int kLargeIcon = 72;
};

}  // namespace korvane
