// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "GifWriter.h"

#include <QIODevice>

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

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
    QImage source = picture.convertToFormat(QImage::Format_Indexed8);
    QList<QRgb> colours = source.colorTable();
    if (colours.isEmpty())
        colours.append(qRgb(0, 0, 0));

    int code = 0;
    GifFileType* gif = EGifOpen(&device, writeToDevice, &code);
    if (!gif) {
        *error = gifError(code);
        return false;
    }
    // Closes the file on every path; giflib frees it even when closing fails.
    auto closer = [&code](GifFileType* g) { EGifCloseFile(g, &code); };
    std::unique_ptr<GifFileType, decltype(closer)> guard(gif, closer);

    const int bits = GifBitSize(int(colours.size()));
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(GifMakeMapObject(1 << bits, nullptr),
                                                                   GifFreeMapObject);
    if (!map) {
        *error = QStringLiteral("out of memory");
        return false;
    }
    for (int i = 0; i < map->ColorCount; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : qRgb(0, 0, 0);
        map->Colors[i] = GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    const int width = source.width();
    const int height = source.height();
    if (EGifPutScreenDesc(gif, width, height, bits, 0, map.get()) == GIF_ERROR
        || EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) {
        *error = gifError(gif->Error);
        return false;
    }
    // giflib masks the pixels of the line it is given in place, and the
    // converted picture may share its pixels with the caller's.
    std::vector<GifPixelType> line(width);
    for (int y = 0; y < height; ++y) {
        const uchar* pixels = source.constScanLine(y);
        std::copy(pixels, pixels + width, line.begin());
        if (EGifPutLine(gif, line.data(), width) == GIF_ERROR) {
            *error = gifError(gif->Error);
            return false;
        }
    }
    guard.release();
    if (EGifCloseFile(gif, &code) == GIF_ERROR) {
        *error = gifError(code);
        return false;
    }
    return true;
}
