// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "ViewerPictures.h"

#include <QSet>
#include <QTest>

using namespace korvane;

namespace {

QSet<QRgb> coloursUsed(const QImage& image)
{
    QSet<QRgb> used;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            used.insert(image.pixel(x, y));
    return used;
}

}  // namespace

class ViewerPicturesTest : public QObject {
    Q_OBJECT
private slots:
    void iconIsAnInstrumentOnTransparency();
    void aboutPictureIsOpaqueSixteenColours();
};

void ViewerPicturesTest::iconIsAnInstrumentOnTransparency()
{
    QList<QSize> sizes = ViewerPictures::programIcon().availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    QCOMPARE(sizes, (QList<QSize>{QSize(32, 32), QSize(72, 72)}));
    for (int size : {32, 72}) {
        const QImage image = ViewerPictures::iconImage(size);
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        QVERIFY(image.colorCount() <= 16);
        // A picture, not a blot: the case, the screen, a trace and knobs.
        QVERIFY2(coloursUsed(image).size() >= 7, qPrintable(QString::number(coloursUsed(image).size())));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(size - 1, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        // The trace crosses the middle of the screen, left of the centre.
        const QSet<QRgb> screen = coloursUsed(image.copy(0, size / 4, size * 2 / 3, size / 2));
        QVERIFY2(std::any_of(screen.begin(), screen.end(),
                             [](QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 100; }),
                 "no yellow trace on the icon's screen");
    }
}

void ViewerPicturesTest::aboutPictureIsOpaqueSixteenColours()
{
    const QImage picture = ViewerPictures::aboutPicture();
    QCOMPARE(picture.size(), QSize(240, 120));
    QCOMPARE(picture.format(), QImage::Format_Indexed8);
    QVERIFY(picture.colorCount() <= 16);
    const QSet<QRgb> used = coloursUsed(picture);
    QVERIFY(used.size() >= 10);
    for (QRgb c : used)
        QCOMPARE(qAlpha(c), 255);
}

QTEST_MAIN(ViewerPicturesTest)
#include "ViewerPicturesTest.moc"
