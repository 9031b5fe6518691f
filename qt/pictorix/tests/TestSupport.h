// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "LittleEndian.h"
#include "QtPicture.h"
#include "RuntimeError.h"
#include "SnapshotLoader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>

#include <functional>

// Snapshot files as the viewer writes them, and outside programs that read back what the tool wrote.
namespace korvane::pictorix::test {

inline QList<QRgb> snapshotPalette()
{
    return {qRgb(0, 0, 0),       qRgb(0, 0, 128),   qRgb(0, 128, 0),   qRgb(0, 128, 128),
            qRgb(128, 0, 0),     qRgb(128, 0, 128), qRgb(128, 128, 0), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(0, 0, 255),   qRgb(0, 255, 0),   qRgb(0, 255, 255),
            qRgb(255, 0, 0),     qRgb(255, 0, 255), qRgb(255, 255, 0), qRgb(255, 255, 255)};
}

// The palette index of pixel (x, y), counted from the top row; two seeds differ in most pixels. Long runs
// (for the run-length coders), single pixels and every index, in a frame of index 12 that shows the edges.
inline int snapshotIndex(int seed, int x, int y)
{
    if (x == 0 || y == 0 || x == 319 || y == 239)
        return 12;
    if ((x * 7 + y * 3 + seed) % 53 == 0)
        return (x + y + seed) % 16;
    return ((x / 9) + (y / 5) + seed) % 16 == 15 ? 1 : ((x / 9) + (y / 5) + seed) % 16;
}

// Temp.bmp as the viewer writes it (38518 bytes): 118-byte header with 16 colours, then 240 bottom-up
// rows of 320 pixels at 4 bits.
inline QByteArray snapshotBytes(int seed = 0)
{
    QByteArray b(118, '\0');
    b[0] = 'B';
    b[1] = 'M';
    writeLe32(b.data() + 2, 38518);
    writeLe32(b.data() + 10, 118);
    writeLe32(b.data() + 14, 40);  // info header size
    writeLe32(b.data() + 18, 320);
    writeLe32(b.data() + 22, 240);
    writeLe16(b.data() + 26, 1);  // planes
    writeLe16(b.data() + 28, 4);  // bits a pixel
    writeLe32(b.data() + 34, 38400);
    const QList<QRgb> palette = snapshotPalette();
    for (int i = 0; i < 16; ++i) {
        b[54 + 4 * i] = char(qBlue(palette[i]));
        b[55 + 4 * i] = char(qGreen(palette[i]));
        b[56 + 4 * i] = char(qRed(palette[i]));
    }
    for (int y = 239; y >= 0; --y)  // bottom-up: the first row in the file is the lowest
        for (int x = 0; x < 320; x += 2)
            b.append(char(snapshotIndex(seed, x, y) << 4 | snapshotIndex(seed, x + 1, y)));
    return b;
}

// The snapshot decoded, as the tool holds it.
inline QImage snapshot(int seed = 0)
{
    const QByteArray bytes = snapshotBytes(seed);
    return QtPicture::toImage(SnapshotLoader::decode(std::string_view(bytes.constData(), bytes.size()), "snapshot"));
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files and folders in folder, hidden ones too, by name.
inline QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The number of the RuntimeError that action raises, 0 if none; its text in *description.
inline int raisedNumber(const std::function<void()>& action, QString* description = nullptr)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        if (description)
            *description = QString::fromStdString(error.description());
        return error.number();
    }
    return 0;
}

// Runs program with args, its errors going to the test's log; its standard output, empty when it failed.
inline QByteArray run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    const bool ok =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return ok ? process.readAllStandardOutput() : QByteArray();
}

// An image file's first frame decoded by ImageMagick as format ("PCX", ...), apart from Qt: RGB888 or null.
inline QImage decodeWithImageMagick(const QString& path, const QString& format)
{
    const QStringList args{format + ':' + path + QStringLiteral("[0]"), QStringLiteral("-depth"), QStringLiteral("8"),
                           QStringLiteral("ppm:-")};
    return QImage::fromData(run(QStringLiteral("/usr/bin/convert"), args), "PPM")
        .convertToFormat(QImage::Format_RGB888);
}

// A PDF file's first page drawn at dpi by pdftoppm.
inline QImage rasterisePdf(const QString& pdf, int dpi)
{
    const QStringList args{QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                           QStringLiteral("-singlefile"), pdf};
    return QImage::fromData(run(QStringLiteral("pdftoppm"), args), "PNG");
}

// The smallest rectangle holding every pixel darker than near-white.
inline QRect inkBox(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 235)
                box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace korvane::pictorix::test
