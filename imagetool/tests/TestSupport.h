// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

// Snapshot files as the viewer writes them, and outside programs that read back what the tool wrote.
namespace TestSupport {

// Writes value little-endian into size bytes of b from offset at.
void putLE(QByteArray &b, int at, quint32 value, int size = 4);

// A snapshot file as the viewer writes it (38518 bytes): 118-byte header with
// a 16-entry palette, then 240 bottom-up rows of 320 pixels at 4 bits. Two
// seeds give pictures that differ in most pixels.
QByteArray snapshotBytes(int seed = 0);
// The snapshot decoded, as the tool holds it.
QImage snapshot(int seed = 0);
// The 16 palette colours, and the palette index of pixel (x, y) counted from the top row.
QList<QRgb> snapshotPalette();
int snapshotIndex(int seed, int x, int y);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Files and folders in folder, hidden ones too, by name.
QStringList folderEntries(const QString &folder);

// The number of the RuntimeError that action raises, 0 if none; its text in *description.
int raisedNumber(const std::function<void()> &action, QString *description = nullptr);

// Runs program with args, its errors going to the test's log; its standard output, empty when it failed.
QByteArray run(const QString &program, const QStringList &args);

// An image file's first frame decoded by ImageMagick as format ("PCX", ...), apart from Qt: RGB888 or null.
QImage decodeWithImageMagick(const QString &path, const QString &format);

// What pdfinfo says about a PDF file, and its first page drawn at dpi by pdftoppm.
QString pdfInfo(const QString &pdf);
QImage rasterisePdf(const QString &pdf, int dpi);

// The smallest rectangle holding every pixel darker than near-white.
QRect inkBox(const QImage &page);

} // namespace TestSupport
