// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "PcxWriter.h"

#include "LittleEndian.h"

#include <QByteArray>
#include <QIODevice>

#include <cstdint>

#include <algorithm>

namespace {

using korvane::writeLe16;
using korvane::writeLe32;

// The header being filled in, as bytes.
std::uint8_t* bytesOf(QByteArray& header)
{
    return reinterpret_cast<std::uint8_t*>(header.data());
}

constexpr int HeaderBytes = 128;
constexpr int Dpi = 96;

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
    const bool indexed = picture.format() == QImage::Format_Indexed8 || picture.format() == QImage::Format_Mono
        || picture.format() == QImage::Format_MonoLSB;
    const QImage source =
        indexed ? picture.convertToFormat(QImage::Format_Indexed8) : picture.convertToFormat(QImage::Format_RGB888);
    const int width = source.width();
    const int height = source.height();
    const int planes = indexed ? 1 : 3;
    const int bytesPerLine = (width + 1) / 2 * 2;  // the format wants an even count

    QByteArray header(HeaderBytes, '\0');
    header[0] = char(0x0A);  // maker tag
    header[1] = char(5);     // version 5: palette information present
    header[2] = char(1);     // run-length coding
    header[3] = char(8);     // bits per pixel and plane
    writeLe16(bytesOf(header) + 8, width - 1);
    writeLe16(bytesOf(header) + 10, height - 1);
    writeLe16(bytesOf(header) + 12, Dpi);
    writeLe16(bytesOf(header) + 14, Dpi);
    const QList<QRgb> colours = indexed ? source.colorTable() : QList<QRgb>();
    for (int i = 0; i < 16 && i < colours.size(); ++i) {
        header[16 + 3 * i] = char(qRed(colours[i]));
        header[17 + 3 * i] = char(qGreen(colours[i]));
        header[18 + 3 * i] = char(qBlue(colours[i]));
    }
    header[65] = char(planes);
    writeLe16(bytesOf(header) + 66, bytesPerLine);
    writeLe16(bytesOf(header) + 68, 1);  // colour palette

    QByteArray body;
    body.reserve(height * planes * bytesPerLine / 2 + 1024);
    QByteArray plane(bytesPerLine, '\0');
    for (int y = 0; y < height; ++y) {
        const uchar* line = source.constScanLine(y);
        for (int p = 0; p < planes; ++p) {
            uchar* dst = reinterpret_cast<uchar*>(plane.data());
            if (indexed) {
                std::copy(line, line + width, dst);
            } else {
                for (int x = 0; x < width; ++x)
                    dst[x] = line[3 * x + p];
            }
            encodeLine(dst, bytesPerLine, body);
        }
    }
    if (indexed) {
        body.append(char(0x0C));  // marks the 256-entry palette
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < colours.size() ? colours[i] : qRgb(0, 0, 0);
            body.append(char(qRed(c)));
            body.append(char(qGreen(c)));
            body.append(char(qBlue(c)));
        }
    }
    if (device.write(header) != header.size() || device.write(body) != body.size()) {
        *error = device.errorString();
        return false;
    }
    return true;
}
