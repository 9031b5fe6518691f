// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "QtPicture.h"

#include <algorithm>

namespace korvane::pictorix {

QImage QtPicture::toImage(const Picture& picture)
{
    if (picture.empty())
        return {};
    const bool indexed = picture.indexed();
    QImage image(picture.width, picture.height, indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (indexed)
        image.setColorTable(QList<QRgb>(picture.palette.begin(), picture.palette.end()));
    for (int y = 0; y < picture.height; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(picture.width);
        if (indexed)
            std::copy_n(picture.indices.begin() + std::ptrdiff_t(row), picture.width, image.scanLine(y));
        else
            std::copy_n(picture.colours.begin() + std::ptrdiff_t(row), picture.width,
                        reinterpret_cast<QRgb*>(image.scanLine(y)));
    }
    return image;
}

Picture QtPicture::fromImage(const QImage& image)
{
    Picture picture;
    if (image.isNull())
        return picture;
    picture.width = image.width();
    picture.height = image.height();
    const QImage::Format format = image.format();
    const bool indexed = image.colorCount() > 0
        && (format == QImage::Format_Indexed8 || format == QImage::Format_Mono || format == QImage::Format_MonoLSB);
    const QImage source = image.convertToFormat(indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (indexed) {
        const QList<QRgb> table = source.colorTable();
        for (const QRgb colour : table)
            picture.palette.push_back(Picture::rgb(qRed(colour), qGreen(colour), qBlue(colour)));
    }
    for (int y = 0; y < picture.height; ++y) {
        const uchar* line = source.constScanLine(y);
        for (int x = 0; x < picture.width; ++x) {
            if (indexed)
                picture.indices.push_back(line[x]);
            else
                picture.colours.push_back(reinterpret_cast<const QRgb*>(line)[x] | 0xFF000000u);
        }
    }
    // An index past the end of the table names black, as it is drawn.
    if (indexed) {
        const std::size_t highest = *std::max_element(picture.indices.begin(), picture.indices.end());
        if (highest >= picture.palette.size())
            picture.palette.resize(highest + 1, Picture::rgb(0, 0, 0));
    }
    return picture;
}

}  // namespace korvane::pictorix
