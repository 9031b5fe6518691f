// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "GifWriter.h"

#include <QIODevice>

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace korvane::pictorix {

namespace {

int writeToDevice(GifFileType* gif, const GifByteType* bytes, int count)
{
    auto* device = static_cast<QIODevice*>(gif->UserData);
    return int(device->write(reinterpret_cast<const char*>(bytes), count));
}

QString gifError(int code)
{
    const char* text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("GIF error %1").arg(code);
}

using ColourMap = std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)>;

// The colour table of source as a GIF colour map of a power-of-two size
// (2^bits entries), filled up with black; null when out of memory.
ColourMap colourMap(const QImage& source, int* bits)
{
    QList<QRgb> colours = source.colorTable();
    if (colours.isEmpty())
        colours.append(qRgb(0, 0, 0));
    *bits = GifBitSize(int(colours.size()));
    ColourMap map(GifMakeMapObject(1 << *bits, nullptr), GifFreeMapObject);
    for (int i = 0; map && i < map->ColorCount; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : qRgb(0, 0, 0);
        map->Colors[i] = GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    return map;
}

// The pixels of source, one line at a time.
bool putLines(GifFileType* gif, const QImage& source)
{
    // giflib masks the pixels of the line it is given in place, and the
    // converted picture may share its pixels with the caller's.
    std::vector<GifPixelType> line(source.width());
    for (int y = 0; y < source.height(); ++y) {
        const uchar* pixels = source.constScanLine(y);
        std::copy(pixels, pixels + source.width(), line.begin());
        if (EGifPutLine(gif, line.data(), source.width()) == GIF_ERROR)
            return false;
    }
    return true;
}

}  // namespace

bool GifWriter::write(QIODevice& device, const QImage& picture, QString* error)
{
    if (picture.isNull()) {
        *error = QStringLiteral("there is no picture");
        return false;
    }
    if (picture.width() > 0xFFFF || picture.height() > 0xFFFF) {
        *error = QStringLiteral("the picture is too large for the GIF format");
        return false;
    }
    const QImage source = picture.convertToFormat(QImage::Format_Indexed8);
    int bits = 0;
    const ColourMap map = colourMap(source, &bits);
    if (!map) {
        *error = QStringLiteral("out of memory");
        return false;
    }

    int code = 0;
    GifFileType* gif = EGifOpen(&device, writeToDevice, &code);
    if (!gif) {
        *error = gifError(code);
        return false;
    }
    // Closes the file on every path; giflib frees it even when closing fails.
    auto closer = [&code](GifFileType* g) { EGifCloseFile(g, &code); };
    std::unique_ptr<GifFileType, decltype(closer)> guard(gif, closer);
    if (EGifPutScreenDesc(gif, source.width(), source.height(), bits, 0, map.get()) == GIF_ERROR
        || EGifPutImageDesc(gif, 0, 0, source.width(), source.height(), false, nullptr) == GIF_ERROR
        || !putLines(gif, source)) {
        *error = gifError(gif->Error);
        return false;
    }
    guard.release();
    if (EGifCloseFile(gif, &code) == GIF_ERROR) {
        *error = gifError(code);
        return false;
    }
    return true;
}

}  // namespace korvane::pictorix
