// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "PcxWriter.h"

#include "LittleEndian.h"

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

namespace korvane::pictorix {

namespace {

constexpr int kHeaderBytes = 128;
constexpr int kDpi = 96;

// The picture as it is written: one byte a pixel with its colour table, or
// three bytes (red, green, blue).
QImage sourceOf(const QImage& picture)
{
    const QImage::Format format = picture.format();
    const bool indexed =
        format == QImage::Format_Indexed8 || format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
    return picture.convertToFormat(indexed ? QImage::Format_Indexed8 : QImage::Format_RGB888);
}

bool isIndexed(const QImage& source)
{
    return source.format() == QImage::Format_Indexed8;
}

// Bytes of one plane of one line: the format wants an even count.
int bytesPerLine(const QImage& source)
{
    return (source.width() + 1) / 2 * 2;
}

QByteArray header(const QImage& source)
{
    QByteArray header(kHeaderBytes, '\0');
    header[0] = char(0x0A);  // maker tag
    header[1] = char(5);     // version 5: palette information present
    header[2] = char(1);     // run-length coding
    header[3] = char(8);     // bits per pixel and plane
    writeLe16(header.data() + 8, source.width() - 1);
    writeLe16(header.data() + 10, source.height() - 1);
    writeLe16(header.data() + 12, kDpi);
    writeLe16(header.data() + 14, kDpi);
    // The first 16 colours here too, for readers that know no other palette.
    const QList<QRgb> colours = source.colorTable();
    for (int i = 0; i < 16 && i < colours.size(); ++i) {
        header[16 + 3 * i] = char(qRed(colours[i]));
        header[17 + 3 * i] = char(qGreen(colours[i]));
        header[18 + 3 * i] = char(qBlue(colours[i]));
    }
    header[65] = char(isIndexed(source) ? 1 : 3);  // planes
    writeLe16(header.data() + 66, bytesPerLine(source));
    writeLe16(header.data() + 68, 1);  // colour palette
    return header;
}

// One plane of one scan line. Runs never cross the end of the line, and a
// single byte with both top bits set must go out as a run of one, because a
// reader takes such a byte for a run count.
void encodeLine(const uchar* line, int count, QByteArray& out)
{
    int i = 0;
    while (i < count) {
        const uchar value = line[i];
        int run = 1;
        while (i + run < count && run < 63 && line[i + run] == value)
            ++run;
        if (run > 1 || value >= 0xC0)
            out.append(char(0xC0 | run));
        out.append(char(value));
        i += run;
    }
}

// Every line, top first, each as its planes one after the other.
QByteArray encodedLines(const QImage& source)
{
    const int width = source.width();
    const int planes = isIndexed(source) ? 1 : 3;
    QByteArray body;
    body.reserve(source.height() * planes * bytesPerLine(source) / 2 + 1024);
    QByteArray plane(bytesPerLine(source), '\0');
    uchar* dst = reinterpret_cast<uchar*>(plane.data());
    for (int y = 0; y < source.height(); ++y) {
        const uchar* line = source.constScanLine(y);
        for (int p = 0; p < planes; ++p) {
            if (planes == 1) {
                std::copy(line, line + width, dst);
            } else {
                for (int x = 0; x < width; ++x)
                    dst[x] = line[3 * x + p];
            }
            encodeLine(dst, int(plane.size()), body);
        }
    }
    return body;
}

// The 256-entry palette that follows the lines of an indexed picture.
QByteArray palette(const QImage& source)
{
    const QList<QRgb> colours = source.colorTable();
    QByteArray palette(1, char(0x0C));  // marks the palette
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : qRgb(0, 0, 0);
        palette.append(char(qRed(c)));
        palette.append(char(qGreen(c)));
        palette.append(char(qBlue(c)));
    }
    return palette;
}

}  // namespace

bool PcxWriter::write(QIODevice& device, const QImage& picture, QString* error)
{
    if (picture.isNull()) {
        *error = QStringLiteral("there is no picture");
        return false;
    }
    if (picture.width() > 0xFFFF || picture.height() > 0xFFFF) {
        *error = QStringLiteral("the picture is too large for the PCX format");
        return false;
    }
    const QImage source = sourceOf(picture);
    QByteArray body = encodedLines(source);
    if (isIndexed(source))
        body.append(palette(source));
    const QByteArray head = header(source);
    if (device.write(head) != head.size() || device.write(body) != body.size()) {
        *error = device.errorString();
        return false;
    }
    return true;
}

}  // namespace korvane::pictorix
