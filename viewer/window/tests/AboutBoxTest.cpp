// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "AboutBox.h"
#include "ViewerPictures.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QSet>
#include <QTest>

using namespace korvane;
using namespace korvane::test;

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void closesFourWays_data();
    void closesFourWays();
    void picturesAreSixteenColoursAtTheirSizes();
};

void AboutBoxTest::closesFourWays_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK button") << "ok" << int(QDialog::Accepted);
    QTest::newRow("Enter") << "enter" << int(QDialog::Accepted);
    QTest::newRow("Esc") << "esc" << int(QDialog::Rejected);
    QTest::newRow("close box") << "close" << int(QDialog::Rejected);
}

void AboutBoxTest::closesFourWays()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    QWidget owner;
    owner.show();
    AboutBox box(&owner);
    int closedWith = -1;
    const QStringList boxes = modalBoxesOf([&] { closedWith = box.exec(); }, [&](QWidget*) {
        if (how == "ok")
            QTest::mouseClick(box.okButton(), Qt::LeftButton);
        else if (how == "enter")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (how == "esc")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            box.close();  // what the window system's close box does
    });
    QCOMPARE(boxes, QStringList{"About in QWidget"});
    QCOMPARE(closedWith, result);
}

void AboutBoxTest::picturesAreSixteenColoursAtTheirSizes()
{
    const QList<QSize> iconSizes = ViewerPictures::programIcon().availableSizes();
    QCOMPARE(QSet<QSize>(iconSizes.begin(), iconSizes.end()), (QSet<QSize>{QSize(32, 32), QSize(72, 72)}));
    QCOMPARE(ViewerPictures::iconImage(72).size(), QSize(72, 72));
    QCOMPARE(ViewerPictures::aboutPicture().size(), QSize(240, 120));
    for (const QImage& image :
         {ViewerPictures::iconImage(32), ViewerPictures::iconImage(72), ViewerPictures::aboutPicture()}) {
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        QVERIFY(image.colorCount() <= 16);
        QSet<QRgb> used;  // a picture, not a blot
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                used.insert(image.pixel(x, y));
        QVERIFY2(used.size() >= 7, qPrintable(QString::number(used.size())));
    }
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
