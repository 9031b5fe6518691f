// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "SnapshotLoader.h"

#include "BitmapHeader.h"
#include "RuntimeError.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <string_view>

namespace korvane::pictorix {

QImage SnapshotLoader::decode(const QByteArray& bytes, const QString& origin)
{
    const auto refuse = [&origin](const QString& reason) {
        return RuntimeError(RuntimeError::kInvalidPicture,
                            QStringLiteral("Invalid picture: %1 (%2)").arg(origin, reason));
    };
    const BitmapHeader header = BitmapHeader::read(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (const std::optional<std::string> why = header.check(bytes.size()))
        throw refuse(QString::fromStdString(*why));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");

    // Qt's decoder of run-length coded bitmaps writes only the pixels that
    // runs name: those a jump or an early end of line or picture passes over
    // would keep whatever the memory held before. Decoded into a picture of
    // the same size and format, cleared first, they are colour 0.
    QImage picture;
    if (header.runLength()) {
        picture = QImage(int(header.biWidth), int(header.biHeight), QImage::Format_Indexed8);
        picture.fill(0);
    }
    const uchar* cleared = picture.constBits();
    if (!reader.read(&picture) || picture.isNull())
        throw refuse(reader.errorString());
    if (header.runLength() && picture.constBits() != cleared)
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
        throw RuntimeError(RuntimeError::kFileNotFound, QStringLiteral("File not found: %1").arg(path));
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw RuntimeError(RuntimeError::kFileAccess, QStringLiteral("Path/File access error: %1").arg(path));
    // One byte more than the limit tells a file at the limit from a larger one,
    // without trusting the size the file system reports (pipes report none).
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(RuntimeError::kFileAccess,
                           QStringLiteral("Path/File access error: %1 (%2)").arg(path, file.errorString()));
    if (bytes.size() > kMaxFileBytes)
        throw RuntimeError(
            RuntimeError::kInvalidPicture,
            QStringLiteral("Invalid picture: %1 (the file is larger than %2 bytes)").arg(path).arg(kMaxFileBytes));
    return decode(bytes, path);
}

}  // namespace korvane::pictorix
