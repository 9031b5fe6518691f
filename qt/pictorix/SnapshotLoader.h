// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Reads the snapshot file (or any sane bitmap file) into a picture. The file
// comes from another program and may be anything: every size, offset and count
// in its headers is checked against the bytes really present before the
// picture decoder sees it, so a truncated or hostile file is refused with a
// run-time error instead of being read out of bounds or allocating gigabytes.
class SnapshotLoader {
public:
    // Largest file accepted, in bytes; far above any screen snapshot.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    // Largest picture accepted, in pixels per side and in total.
    static constexpr qint64 MaxSide = 16384;
    static constexpr qint64 MaxPixels = 25 * 1000 * 1000;

    // Loads the picture file at path. Throws RuntimeError: 53 when the file
    // does not exist, 75 when it cannot be read, 481 when it is no picture.
    static QImage load(const QString& path);

    // Checks and decodes the bytes of a bitmap file. Throws RuntimeError 481
    // naming origin and the reason when the bytes are no sane bitmap.
    static QImage decode(const QByteArray& bytes, const QString& origin);

    // The reason the bytes are no sane bitmap, or an empty string when they
    // pass every check.
    static QString checkBitmap(const QByteArray& bytes);

    // The highest colour index any pixel of an indexed picture uses (0 for
    // an empty one); at or past colorCount() it names no colour of the table.
    static int highestColourIndex(const QImage& picture);
};
