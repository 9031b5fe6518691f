// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

// Helpers the image tool's tests share: snapshot files as the viewer writes
// them, and outside programs that read back what the tool wrote.
namespace TestSupport {

// Writes value little-endian into size bytes of b from offset at.
void putLE(QByteArray &b, int at, quint32 value, int size = 4);

// A bitmap's file header and 40-byte info header (one plane), with no
// palette and no pixels yet; sizes and offsets are left for the caller.
QByteArray bitmapHeader(int width, int height, int depth, int compression = 0);

// A snapshot file as the viewer writes it: 118-byte header (file header,
// 40-byte info header, 16-entry palette), then 240 bottom-up rows of 160
// bytes, 4 bits per pixel. The pattern depends on seed, so two snapshots
// of different seeds differ in most pixels.
QByteArray snapshotBytes(int seed = 0);
// The snapshot decoded, as the tool holds it.
QImage snapshot(int seed = 0);

// The 16 palette colours of snapshotBytes(), as red, green, blue.
QList<QRgb> snapshotPalette();

// Palette index of pixel (x, y), counted from the top row, in snapshotBytes(seed).
int snapshotIndex(int seed, int x, int y);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// The number of the RuntimeError that action raises, 0 if none; its text in *description.
int raisedNumber(const std::function<void()> &action, QString *description = nullptr);

// Runs program with args, waiting up to timeoutMs; returns its standard
// output, or sets *ok to false when it failed or did not end in time.
QByteArray run(const QString &program, const QStringList &args, bool *ok, int timeoutMs = 60000,
               QString *errorText = nullptr);

// Decodes an image file with ImageMagick (the first frame, format given by
// the prefix such as "PCX"), independent of Qt's encoders. A null image on
// failure, else Format_RGB888.
QImage decodeWithImageMagick(const QString &path, const QString &format);

// ImageMagick's name of the format of a file ("PNG", "PCX", ...).
QString identifyFormat(const QString &path);

// What pdfinfo says about a PDF file, and its first page drawn at dpi.
QString pdfInfo(const QString &pdf);
QImage rasterisePdf(const QString &pdf, int dpi);

// The smallest rectangle holding every pixel darker than near-white.
QRect inkBox(const QImage &page);

// Mean absolute difference per colour channel between two pictures of one size.
double meanChannelError(const QImage &a, const QImage &b);

} // namespace TestSupport
