// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "SnapshotLoader.h"

#include "LittleEndian.h"
#include "RuntimeError.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstdint>

namespace {

constexpr qint64 FileHeaderBytes = 14;

quint32 u32(const QByteArray& b, qint64 at)
{
    return korvane::readLe32(reinterpret_cast<const std::uint8_t*>(b.constData()) + at);
}

quint16 u16(const QByteArray& b, qint64 at)
{
    return korvane::readLe16(reinterpret_cast<const std::uint8_t*>(b.constData()) + at);
}

qint32 s32(const QByteArray& b, qint64 at)
{
    return static_cast<qint32>(u32(b, at));
}

}  // namespace

QString SnapshotLoader::checkBitmap(const QByteArray& bytes)
{
    const qint64 size = bytes.size();
    if (size < FileHeaderBytes + 12)
        return QStringLiteral("the file is too short to be a bitmap (%1 bytes)").arg(size);
    if (bytes[0] != 'B' || bytes[1] != 'M')
        return QStringLiteral("the file does not start like a bitmap file");

    const qint64 offBits = u32(bytes, 10);
    const qint64 infoSize = u32(bytes, FileHeaderBytes);
    const bool core = infoSize == 12;
    if (!core && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 64 && infoSize != 108
        && infoSize != 124)
        return QStringLiteral("unknown bitmap header size %1").arg(infoSize);
    if (FileHeaderBytes + infoSize > size)
        return QStringLiteral("the bitmap header is cut short");

    qint64 width = 0;
    qint64 height = 0;
    unsigned planes = 0;
    unsigned bitCount = 0;
    quint32 compression = 0;
    qint64 colorsUsed = 0;
    qint64 paletteEntryBytes = 4;
    qint64 maskBytes = 0;
    if (core) {
        width = u16(bytes, 18);
        height = u16(bytes, 20);
        planes = u16(bytes, 22);
        bitCount = u16(bytes, 24);
        paletteEntryBytes = 3;
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
            return QStringLiteral("unsupported colour depth of %1 bits per pixel").arg(bitCount);
    } else {
        width = s32(bytes, 18);
        height = s32(bytes, 22);
        planes = u16(bytes, 26);
        bitCount = u16(bytes, 28);
        compression = u32(bytes, 30);
        colorsUsed = u32(bytes, 46);
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
            return QStringLiteral("unsupported colour depth of %1 bits per pixel").arg(bitCount);
        switch (compression) {
        case 0:  // uncompressed
            break;
        case 1:  // run-length, 8 bits per pixel
            if (bitCount != 8)
                return QStringLiteral("8-bit run-length coding with %1 bits per pixel").arg(bitCount);
            break;
        case 2:  // run-length, 4 bits per pixel
            if (bitCount != 4)
                return QStringLiteral("4-bit run-length coding with %1 bits per pixel").arg(bitCount);
            break;
        case 3:  // colour masks
            if (bitCount != 16 && bitCount != 32)
                return QStringLiteral("colour masks with %1 bits per pixel").arg(bitCount);
            if (infoSize == 40)
                maskBytes = 12;
            break;
        default: return QStringLiteral("unsupported compression %1").arg(compression);
        }
        if (compression != 0 && height < 0 && compression != 3)
            return QStringLiteral("a top-down bitmap cannot be run-length coded");
    }
    if (planes != 1)
        return QStringLiteral("%1 colour planes instead of 1").arg(planes);
    if (height < 0)
        height = -height;  // top-down rows
    if (width <= 0 || height <= 0)
        return QStringLiteral("the picture has no pixels (%1 x %2)").arg(width).arg(height);
    if (width > MaxSide || height > MaxSide || width * height > MaxPixels)
        return QStringLiteral("the picture is too large (%1 x %2 pixels)").arg(width).arg(height);

    qint64 paletteEntries = 0;
    if (bitCount <= 8) {
        const qint64 most = qint64(1) << bitCount;
        if (colorsUsed > most)
            return QStringLiteral("%1 palette entries for %2 bits per pixel").arg(colorsUsed).arg(bitCount);
        paletteEntries = colorsUsed == 0 ? most : colorsUsed;
    } else if (colorsUsed > 256) {
        return QStringLiteral("%1 palette entries").arg(colorsUsed);
    } else {
        paletteEntries = colorsUsed;
    }
    const qint64 headersEnd = FileHeaderBytes + infoSize + maskBytes;
    if (bitCount <= 8 && headersEnd + paletteEntries * paletteEntryBytes > size)
        return QStringLiteral("the palette is cut short");
    if (offBits < headersEnd || offBits >= size)
        return QStringLiteral("the pixel data offset %1 lies outside the file").arg(offBits);

    if (compression == 0 || compression == 3) {
        const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
        if (offBits + rowBytes * height > size)
            return QStringLiteral("the pixel data is cut short: %1 bytes expected, %2 present")
                .arg(rowBytes * height)
                .arg(size - offBits);
    }
    return {};
}

QImage SnapshotLoader::decode(const QByteArray& bytes, const QString& origin)
{
    const QString why = checkBitmap(bytes);
    const auto refuse = [&origin](const QString& reason) {
        return RuntimeError(RuntimeError::InvalidPicture,
                            QStringLiteral("Invalid picture: %1 (%2)").arg(origin, reason));
    };
    if (!why.isEmpty())
        throw refuse(why);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");

    // Qt's decoder of run-length coded bitmaps writes only the pixels that
    // runs name: those a jump or an early end of line or picture passes over
    // would keep whatever the memory held before. Decoded into a picture of
    // the same size and format, cleared first, they are colour 0.
    QImage picture;
    const quint32 compression = u32(bytes, 30);
    const bool runLength = u32(bytes, FileHeaderBytes) != 12 && (compression == 1 || compression == 2);
    if (runLength) {
        picture = QImage(s32(bytes, 18), s32(bytes, 22), QImage::Format_Indexed8);
        picture.fill(0);
    }
    const uchar* cleared = picture.constBits();
    if (!reader.read(&picture) || picture.isNull())
        throw refuse(reader.errorString());
    if (runLength && picture.constBits() != cleared)
        throw refuse(QStringLiteral("its run-length coded pixels cannot be read in full"));

    // Pixels may name colours past the end of the file's colour table. Such
    // a pixel is black wherever the picture is drawn; the table is made to
    // say so, so that every encoder writes the picture as it is seen.
    const int colours = picture.colorCount();
    if (colours > 0 && colours < (picture.depth() == 1 ? 2 : 256)) {
        const int highest = highestColourIndex(picture);
        if (highest >= colours) {
            picture.setColorCount(highest + 1);
            for (int i = colours; i <= highest; ++i)
                picture.setColor(i, qRgb(0, 0, 0));
        }
    }
    return picture;
}

int SnapshotLoader::highestColourIndex(const QImage& picture)
{
    int highest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        if (picture.format() == QImage::Format_Indexed8) {
            // One byte a pixel: far faster than asking pixel by pixel.
            const uchar* line = picture.constScanLine(y);
            highest = std::max<int>(highest, *std::max_element(line, line + picture.width()));
        } else {
            for (int x = 0; x < picture.width(); ++x)
                highest = std::max(highest, picture.pixelIndex(x, y));
        }
    }
    return highest;
}

QImage SnapshotLoader::load(const QString& path)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(RuntimeError::FileNotFound, QStringLiteral("File not found: %1").arg(path));
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw RuntimeError(RuntimeError::FileAccess, QStringLiteral("Path/File access error: %1").arg(path));
    // One byte more than the limit tells a file at the limit from a larger one,
    // without trusting the size the file system reports (pipes report none).
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(RuntimeError::FileAccess,
                           QStringLiteral("Path/File access error: %1 (%2)").arg(path, file.errorString()));
    if (bytes.size() > MaxFileBytes)
        throw RuntimeError(
            RuntimeError::InvalidPicture,
            QStringLiteral("Invalid picture: %1 (the file is larger than %2 bytes)").arg(path).arg(MaxFileBytes));
    return decode(bytes, path);
}
