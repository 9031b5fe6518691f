// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "IconWriter.h"

#include "LittleEndian.h"

#include <QBuffer>
#include <QByteArray>
#include <QIODevice>
#include <QImageWriter>

namespace korvane::pictorix {

namespace {

constexpr int kDirectoryBytes = 6;
constexpr int kEntryBytes = 16;

// Width and height bytes of a directory entry: 0 stands for 256 or more.
char sizeByte(int pixels)
{
    return pixels >= 256 ? char(0) : char(pixels);
}

}  // namespace

bool IconWriter::write(QIODevice& device, const QImage& picture, Kind kind, QString* error)
{
    if (picture.isNull()) {
        *error = QStringLiteral("there is no picture");
        return false;
    }
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImageWriter writer(&png, "png");
    if (!writer.write(picture)) {
        *error = writer.errorString();
        return false;
    }

    QByteArray head(kDirectoryBytes + kEntryBytes, '\0');
    writeLe16(head.data() + 2, int(kind));
    writeLe16(head.data() + 4, 1);  // one image
    head[6] = sizeByte(picture.width());
    head[7] = sizeByte(picture.height());
    const int colours = picture.colorCount();
    head[8] = char(colours > 0 && colours < 256 ? colours : 0);
    if (kind == Kind::Icon) {
        writeLe16(head.data() + 10, 1);                // colour planes
        writeLe16(head.data() + 12, picture.depth());  // bits per pixel
    } else {
        writeLe16(head.data() + 10, 0);  // hot spot x
        writeLe16(head.data() + 12, 0);  // hot spot y
    }
    writeLe32(head.data() + 14, quint32(png.data().size()));
    writeLe32(head.data() + 18, quint32(head.size()));
    if (device.write(head) != head.size() || device.write(png.data()) != png.data().size()) {
        *error = device.errorString();
        return false;
    }
    return true;
}

}  // namespace korvane::pictorix
