// Korvane - the programs' pictures: tests.
// SPDX-License-Identifier: MIT
#include "ResourcePictures.h"
#include "LittleEndian.h"

#include <QBuffer>
#include <QImageReader>
#include <QTest>

using namespace korvane;

namespace {

// An odd width, so that rows end mid-byte and are padded; every colour of
// the table in use, one of them transparent.
QImage indexedPicture()
{
    QImage picture(7, 3, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 16; ++i)
        table << qRgb(16 * i, 255 - 16 * i, (40 * i) % 256);
    table[5] = qRgba(0, 0, 0, 0);
    picture.setColorTable(table);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, uint(x + 7 * y) % 16);
    return picture;
}

// Pixels as Qt reads them: colours with alpha, what is transparent as 0.
QList<QRgb> pixelsOf(const QImage& image)
{
    QList<QRgb> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            pixels << (qAlpha(image.pixel(x, y)) == 0 ? 0 : image.pixel(x, y));
    return pixels;
}

}  // namespace

class ResourcePicturesTest : public QObject {
    Q_OBJECT
private slots:
    void bitmapIsFourBitWithItsOwnSize();
    void iconKeepsEveryImageWithItsTransparency();
};

void ResourcePicturesTest::bitmapIsFourBitWithItsOwnSize()
{
    QImage picture = indexedPicture();
    picture.setColor(5, qRgb(1, 2, 3));
    const QByteArray file = ResourcePictures::bitmapFile(picture);
    QCOMPARE(readLe32(file.constData() + 2), quint32(file.size()));
    QCOMPARE(readLe16(file.constData() + 28), quint16(4));
    QCOMPARE(file.size(), 118 + 4 * 3);
    const QImage read = QImage::fromData(file, "BMP");
    QCOMPARE(read.size(), picture.size());
    QCOMPARE(pixelsOf(read), pixelsOf(picture));
}

void ResourcePicturesTest::iconKeepsEveryImageWithItsTransparency()
{
    QImage trueColour(5, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            trueColour.setPixel(x, y, qRgba(50 * x, 100 * y, 7, x == 2 ? 0 : 255));
    const QList<QImage> images{indexedPicture(), trueColour};
    QByteArray file = ResourcePictures::iconFile(images);
    // The 16-colour image keeps 4 bits a pixel, as the directory says.
    QCOMPARE(int(file[6 + 2]), 16);
    QCOMPARE(readLe16(file.constData() + 6 + 6), quint16(4));
    QCOMPARE(readLe16(file.constData() + 6 + 16 + 6), quint16(32));

    QBuffer buffer(&file);
    QImageReader reader(&buffer, "ico");
    QCOMPARE(reader.imageCount(), 2);
    for (const QImage& image : images) {
        const QImage read = reader.read();
        QVERIFY2(!read.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(read.size(), image.size());
        QCOMPARE(pixelsOf(read), pixelsOf(image));
        reader.jumpToNextImage();
    }
}

QTEST_GUILESS_MAIN(ResourcePicturesTest)
#include "ResourcePicturesTest.moc"
