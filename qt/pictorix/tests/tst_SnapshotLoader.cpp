// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

class TestSnapshotLoader : public QObject {
    Q_OBJECT
private slots:
    void loadsTheSnapshotPixelForPixel();
    void coloursPastTheTableAreBlack();
    void refusesWhatIsNoSaneBitmapWith481_data();
    void refusesWhatIsNoSaneBitmapWith481();
    void highestColourIndexSeesTheLastPixel();

private:
    QImage load(const QByteArray& bytes) { return writeFile(path_, bytes) ? SnapshotLoader::load(path_) : QImage(); }

    QTemporaryDir dir_;
    const QString path_ = dir_.filePath(QStringLiteral("Temp.bmp"));
};

void TestSnapshotLoader::loadsTheSnapshotPixelForPixel()
{
    const QImage picture = load(snapshotBytes(3));
    QCOMPARE(picture.size(), QSize(320, 240));
    // Kept with its 16-colour table, so the encoders see the exact indices.
    QCOMPARE(picture.colorTable(), snapshotPalette());
    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            wrong += picture.pixelIndex(x, y) != snapshotIndex(3, x, y);
    QCOMPARE(wrong, 0);
}

void TestSnapshotLoader::coloursPastTheTableAreBlack()
{
    QByteArray bytes = snapshotBytes(3);
    korvane::writeLe32(bytes.data() + 46, 2);  // the table cut to 2 colours; the pixels use all 16
    QImage expected = load(snapshotBytes(3));
    expected.setColorTable(snapshotPalette().mid(0, 2) + QList<QRgb>(14, qRgb(0, 0, 0)));
    QCOMPARE(load(bytes), expected);
}

void TestSnapshotLoader::refusesWhatIsNoSaneBitmapWith481_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("the file is too short to be a bitmap (0 bytes)");
    QTest::newRow("truncated pixel data")
        << snapshotBytes().chopped(1)
        << QStringLiteral("the pixel data is cut short: 38400 bytes expected, 38399 present");
}

void TestSnapshotLoader::refusesWhatIsNoSaneBitmapWith481()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QString description;
    QCOMPARE(raisedNumber([&] { load(bytes); }, &description), RuntimeError::kInvalidPicture);
    QCOMPARE(description, QStringLiteral("Invalid picture: %1 (%2)").arg(path_, reason));
}

void TestSnapshotLoader::highestColourIndexSeesTheLastPixel()
{
    // Colour 0 but for the last pixel, which a scan a pixel or a row short misses.
    for (const QImage::Format format : {QImage::Format_Indexed8, QImage::Format_Mono, QImage::Format_MonoLSB}) {
        QImage picture(9, 2, format);
        picture.setColorCount(2);
        picture.fill(0);
        picture.setPixel(8, 1, 1);
        QCOMPARE(SnapshotLoader::highestColourIndex(picture), 1);
    }
}

QTEST_MAIN(TestSnapshotLoader)
#include "tst_SnapshotLoader.moc"
