// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "ViewerPictures.h"

#include <QSet>
#include <QTest>

using namespace korvane;

class ViewerPicturesTest : public QObject {
    Q_OBJECT
private slots:
    void picturesAreSixteenColoursAtTheirSizes();
};

void ViewerPicturesTest::picturesAreSixteenColoursAtTheirSizes()
{
    const QList<QSize> iconSizes = ViewerPictures::programIcon().availableSizes();
    QCOMPARE(QSet<QSize>(iconSizes.begin(), iconSizes.end()), (QSet<QSize>{QSize(32, 32), QSize(72, 72)}));
    for (const QImage& image : {ViewerPictures::iconImage(32), ViewerPictures::iconImage(72),
                                ViewerPictures::aboutPicture()}) {
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        QVERIFY(image.colorCount() <= 16);
        // A picture, not a blot.
        QSet<QRgb> used;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                used.insert(image.pixel(x, y));
        QVERIFY2(used.size() >= 7, qPrintable(QString::number(used.size())));
    }
    QCOMPARE(ViewerPictures::iconImage(72).size(), QSize(72, 72));
    QCOMPARE(ViewerPictures::aboutPicture().size(), QSize(240, 120));
    // The icon is transparent around the instrument; the About picture is not.
    QCOMPARE(qAlpha(ViewerPictures::iconImage(32).pixel(0, 0)), 0);
    QCOMPARE(qAlpha(ViewerPictures::aboutPicture().pixel(0, 0)), 255);
}

QTEST_MAIN(ViewerPicturesTest)
#include "ViewerPicturesTest.moc"
