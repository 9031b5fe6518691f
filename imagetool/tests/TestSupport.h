// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

// Helpers the image tool's tests share: snapshot files as the viewer writes
// them, and outside programs that read back what the tool wrote.
namespace TestSupport {

// A snapshot file as the viewer writes it: 118-byte header (file header,
// 40-byte info header, 16-entry palette), then 240 bottom-up rows of 160
// bytes, 4 bits per pixel. The pattern depends on seed, so two snapshots
// of different seeds differ in most pixels.
QByteArray snapshotBytes(int seed = 0);

// The 16 palette colours of snapshotBytes(), as red, green, blue.
QList<QRgb> snapshotPalette();

// Palette index of pixel (x, y), counted from the top row, in snapshotBytes(seed).
int snapshotIndex(int seed, int x, int y);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Runs program with args, waiting up to timeoutMs; returns its standard
// output, or sets *ok to false when it failed or did not end in time.
QByteArray run(const QString &program, const QStringList &args, bool *ok, int timeoutMs = 60000,
               QString *errorText = nullptr);

// Decodes an image file with ImageMagick (the first frame, format given by
// the prefix such as "PCX"), independent of Qt. A null image on failure.
QImage decodeWithImageMagick(const QString &path, const QString &format);

// ImageMagick's name of the format of a file ("PNG", "PCX", ...).
QString identifyFormat(const QString &path);

// The smallest rectangle holding every pixel darker than near-white.
QRect inkBox(const QImage &page);

// Mean absolute difference per colour channel between two pictures of one size.
double meanChannelError(const QImage &a, const QImage &b);

// Mean absolute difference of brightness (0 to 255) between two pictures.
double meanLumaError(const QImage &a, const QImage &b);

} // namespace TestSupport
