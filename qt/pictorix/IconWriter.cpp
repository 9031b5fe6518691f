// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "IconWriter.h"

#include "LittleEndian.h"

#include <QBuffer>
#include <QByteArray>
#include <QIODevice>

#include <QImageWriter>
#include <cstdint>

namespace {

using korvane::writeLe16;
using korvane::writeLe32;

// The header being filled in, as bytes.
std::uint8_t* bytesOf(QByteArray& header)
{
    return reinterpret_cast<std::uint8_t*>(header.data());
}

constexpr int DirectoryBytes = 6;
constexpr int EntryBytes = 16;

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

    QByteArray head(DirectoryBytes + EntryBytes, '\0');
    writeLe16(bytesOf(head) + 2, int(kind));
    writeLe16(bytesOf(head) + 4, 1);  // one image
    head[6] = sizeByte(picture.width());
    head[7] = sizeByte(picture.height());
    const int colours = picture.colorCount();
    head[8] = char(colours > 0 && colours < 256 ? colours : 0);
    if (kind == Kind::Icon) {
        writeLe16(bytesOf(head) + 10, 1);                // colour planes
        writeLe16(bytesOf(head) + 12, picture.depth());  // bits per pixel
    } else {
        writeLe16(bytesOf(head) + 10, 0);  // hot spot x
        writeLe16(bytesOf(head) + 12, 0);  // hot spot y
    }
    writeLe32(bytesOf(head) + 14, quint32(png.data().size()));
    writeLe32(bytesOf(head) + 18, quint32(head.size()));
    if (device.write(head) != head.size() || device.write(png.data()) != png.data().size()) {
        *error = device.errorString();
        return false;
    }
    return true;
}
