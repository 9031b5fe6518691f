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
    void loadsTheSnapshotPixelForPixel_data();
    void loadsTheSnapshotPixelForPixel();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void highestColourIndexSeesTheLastPixel();
};

void TestSnapshotLoader::loadsTheSnapshotPixelForPixel_data()
{
    QTest::addColumn<int>("colours");  // in the file's colour table
    QTest::newRow("as the viewer writes it") << 16;
    // The pixels use all 16 colours: those past the table are black.
    QTest::newRow("table cut to 2 colours") << 2;
}

void TestSnapshotLoader::loadsTheSnapshotPixelForPixel()
{
    QFETCH(int, colours);
    QByteArray bytes = snapshotBytes(3);
    if (colours < 16)
        putLE(bytes, 46, colours);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(writeFile(path, bytes));
    const QImage picture = SnapshotLoader::load(path);
    QCOMPARE(picture.size(), QSize(320, 240));
    // Kept with a 16-colour table, so the encoders see the exact indices.
    QCOMPARE(picture.colorTable(), snapshotPalette().mid(0, colours) + QList<QRgb>(16 - colours, qRgb(0, 0, 0)));
    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            wrong += picture.pixelIndex(x, y) != snapshotIndex(3, x, y);
    QCOMPARE(wrong, 0);
}

void TestSnapshotLoader::refusesHostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = snapshotBytes();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated header") << good.left(30);
    QTest::newRow("truncated pixel data") << good.chopped(1);
    // One header field at a hostile value: at offset, of size bytes.
    const auto field = [&good](const char* name, int at, quint32 value, int size = 4) {
        QByteArray b = good;
        putLE(b, at, value, size);
        QTest::newRow(name) << b;
    };
    field("wrong magic", 0, 'P', 1);
    field("huge declared width", 18, 0x7FFFFFFF);
    field("huge declared height (most negative)", 22, 0x80000000u);
    field("wrong bit depth 3", 28, 3, 2);
    field("compression not matching the depth", 30, 1);
    field("palette count beyond the depth", 46, 0xFFFFFF);
    field("pixel offset beyond the file", 10, 0xFFFFFFF0u);
    // Pixels read from the headers themselves: only the offset rule refuses it.
    field("pixel offset inside the info header", 10, 20);
}

void TestSnapshotLoader::refusesHostileFiles()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(writeFile(path, bytes));
    QString description;
    QCOMPARE(raisedNumber([&] { SnapshotLoader::load(path); }, &description), RuntimeError::kInvalidPicture);
    QVERIFY2(description.startsWith(QStringLiteral("Invalid picture")) && description.contains(path),
             qPrintable(description));
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
