// Korvane - the programs' pictures.
// SPDX-License-Identifier: MIT
#include "ResourcePictures.h"

#include "LittleEndian.h"
#include "PictorixIcon.h"
#include "ViewerPictures.h"

#include <QSaveFile>

#include <utility>

namespace korvane {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kIconDirectoryBytes = 6;
constexpr int kIconEntryBytes = 16;
constexpr int kColours16 = 16;

// Pictorix's icon: the small and large icons, Explorer's view and the largest.
constexpr int kPictorixSides[] = {16, 32, 48, 256};

bool isFourBit(const QImage& image)
{
    return image.format() == QImage::Format_Indexed8 && image.colorCount() <= kColours16;
}

// Every row of a bitmap fills whole 32-bit words.
int rowBytes(int width, int bits)
{
    return (width * bits + 31) / 32 * 4;
}

// `storedHeight` is twice the picture's in an icon: the colours, then the mask.
QByteArray infoHeader(int width, int storedHeight, int bits, int pixelBytes)
{
    QByteArray header(kInfoHeaderBytes, '\0');
    writeLe32(header.data(), kInfoHeaderBytes);
    writeLe32(header.data() + 4, std::uint32_t(width));
    writeLe32(header.data() + 8, std::uint32_t(storedHeight));
    writeLe16(header.data() + 12, 1);  // planes
    writeLe16(header.data() + 14, std::uint16_t(bits));
    writeLe32(header.data() + 20, std::uint32_t(pixelBytes));
    writeLe32(header.data() + 32, bits == 4 ? kColours16 : 0);  // colours in the table
    return header;
}

// Blue, green, red and a zero byte for each of the 16 entries; a
// transparent colour is black, which its mask bit leaves out of the icon.
QByteArray colourTable(const QImage& image)
{
    QByteArray table(4 * kColours16, '\0');
    for (int i = 0; i < image.colorCount(); ++i) {
        const QRgb colour = image.color(i);
        if (qAlpha(colour) == 0)
            continue;
        table[4 * i] = char(qBlue(colour));
        table[4 * i + 1] = char(qGreen(colour));
        table[4 * i + 2] = char(qRed(colour));
    }
    return table;
}

// Two pixels a byte, the left one in the high nibble; bottom row first.
QByteArray fourBitRows(const QImage& image)
{
    const int stride = rowBytes(image.width(), 4);
    QByteArray rows(stride * image.height(), '\0');
    for (int y = 0; y < image.height(); ++y) {
        const uchar* in = image.constScanLine(y);
        char* out = rows.data() + (image.height() - 1 - y) * stride;
        for (int x = 0; x < image.width(); ++x)
            out[x / 2] = char(out[x / 2] | (in[x] & 0x0F) << (x % 2 ? 0 : 4));
    }
    return rows;
}

// Blue, green, red and alpha; bottom row first.
QByteArray trueColourRows(const QImage& image)
{
    QByteArray rows;
    rows.reserve(4 * image.width() * image.height());
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            rows.append(char(qBlue(pixel))).append(char(qGreen(pixel))).append(char(qRed(pixel)));
            rows.append(char(qAlpha(pixel)));
        }
    }
    return rows;
}

// One bit a pixel, set where the pixel is transparent; bottom row first.
QByteArray transparencyMask(const QImage& image)
{
    const int stride = rowBytes(image.width(), 1);
    QByteArray mask(stride * image.height(), '\0');
    for (int y = 0; y < image.height(); ++y) {
        char* out = mask.data() + (image.height() - 1 - y) * stride;
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                out[x / 8] = char(out[x / 8] | 0x80 >> (x % 8));
        }
    }
    return mask;
}

QByteArray iconImage(const QImage& image)
{
    const bool fourBit = isFourBit(image);
    const QByteArray colours = fourBit ? fourBitRows(image) : trueColourRows(image);
    const QByteArray mask = transparencyMask(image);
    QByteArray bytes =
        infoHeader(image.width(), 2 * image.height(), fourBit ? 4 : 32, int(colours.size() + mask.size()));
    if (fourBit)
        bytes += colourTable(image);
    return bytes + colours + mask;
}

}  // namespace

QByteArray ResourcePictures::iconFile(const QList<QImage>& images)
{
    QByteArray directory(kIconDirectoryBytes + kIconEntryBytes * images.size(), '\0');
    writeLe16(directory.data() + 2, 1);  // an icon, not a cursor
    writeLe16(directory.data() + 4, std::uint16_t(images.size()));
    QByteArray data;
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QImage& image = images[i];
        const QByteArray stored = iconImage(image);
        char* entry = directory.data() + kIconDirectoryBytes + kIconEntryBytes * i;
        entry[0] = char(image.width() & 0xFF);  // 0 stands for 256
        entry[1] = char(image.height() & 0xFF);
        entry[2] = char(isFourBit(image) ? kColours16 : 0);
        writeLe16(entry + 4, 1);  // planes
        writeLe16(entry + 6, isFourBit(image) ? 4 : 32);
        writeLe32(entry + 8, std::uint32_t(stored.size()));
        writeLe32(entry + 12, std::uint32_t(directory.size() + data.size()));
        data += stored;
    }
    return directory + data;
}

QByteArray ResourcePictures::bitmapFile(const QImage& indexed)
{
    const QByteArray rows = fourBitRows(indexed);
    const int pixelsAt = kFileHeaderBytes + kInfoHeaderBytes + 4 * kColours16;
    QByteArray file(kFileHeaderBytes, '\0');
    file[0] = 'B';
    file[1] = 'M';
    writeLe32(file.data() + 2, std::uint32_t(pixelsAt + rows.size()));
    writeLe32(file.data() + 10, std::uint32_t(pixelsAt));
    return file + infoHeader(indexed.width(), indexed.height(), 4, int(rows.size())) + colourTable(indexed) + rows;
}

bool ResourcePictures::writeAll(const QString& folder)
{
    QList<QImage> pictorix;
    for (int side : kPictorixSides)
        pictorix << PictorixIcon::render(side);
    const std::pair<const char*, QByteArray> files[] = {
        {"korvane.ico",
         iconFile({ViewerPictures::iconImage(ViewerPictures::kSmallIcon),
                   ViewerPictures::iconImage(ViewerPictures::kLargeIcon)})},
        {"korvane-about.bmp", bitmapFile(ViewerPictures::aboutPicture())},
        {"pictorix.ico", iconFile(pictorix)},
    };
    for (const auto& [name, bytes] : files) {
        QSaveFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return false;
    }
    return true;
}

}  // namespace korvane
