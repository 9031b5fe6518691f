// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace korvane::pictorix {

// Reads the snapshot file (or any sane bitmap file) into a picture. The file
// comes from another program and may be anything: its headers pass every
// check of BitmapHeader before Qt's decoder sees its bytes.
class SnapshotLoader {
public:
    // Largest file accepted, in bytes; far above any screen snapshot.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

    // Loads the picture file at path. Throws RuntimeError: 53 when the file
    // does not exist, 75 when it cannot be read, 481 when it is no picture.
    static QImage load(const QString& path);

    // Checks and decodes the bytes of a bitmap file. Throws RuntimeError 481
    // naming origin and the reason when the bytes are no sane bitmap.
    static QImage decode(const QByteArray& bytes, const QString& origin);

    // The highest colour index any pixel of an indexed picture uses (0 for
    // an empty one); at or past colorCount() it names no colour of the table.
    static int highestColourIndex(const QImage& picture);
};

}  // namespace korvane::pictorix
