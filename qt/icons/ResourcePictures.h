// Korvane - the programs' pictures.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace korvane {

// The pictures in the files that the Windows resource compiler takes: icon
// files and 16-colour bitmap files. Qt's own writers know neither 4-bit
// pixels nor icons of several images.
class ResourcePictures {
public:
    // An icon file holding `images`, each as a bitmap with its transparency
    // mask: an indexed image of at most 16 colours with 4 bits a pixel (a
    // colour with alpha 0 is transparent), any other with 32 bits and its
    // alpha. Each side at most 256 pixels.
    static QByteArray iconFile(const QList<QImage>& images);

    // A bitmap file of an indexed image of at most 16 colours, 4 bits a
    // pixel, rows bottom-up as bitmaps store them.
    static QByteArray bitmapFile(const QImage& indexed);

    // The Windows programs' pictures in `folder`: korvane.ico (32x32 and
    // 72x72, 16 colours), korvane-about.bmp (240x120, 16 colours) and
    // pictorix.ico. False when one cannot be written.
    static bool writeAll(const QString& folder);
};

}  // namespace korvane
