// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

void putU32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void putU16(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

} // namespace

class TestSnapshotLoader : public QObject {
    Q_OBJECT
private slots:
    void loadsTheViewersSnapshotPixelForPixel();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void reportsMissingAndUnreadableFiles();
    void acceptsOtherSaneBitmaps();
};

void TestSnapshotLoader::loadsTheViewersSnapshotPixelForPixel()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(writeFile(path, snapshotBytes(3)));
    const QImage picture = SnapshotLoader::load(path);
    QCOMPARE(picture.size(), QSize(320, 240));
    // Kept with its 16-colour table, so the encoders see the exact indices.
    QCOMPARE(picture.format(), QImage::Format_Indexed8);
    QCOMPARE(picture.colorTable(), snapshotPalette());
    // Bottom-up file rows: the first row of the picture is the file's last.
    for (int y : {0, 1, 120, 238, 239})
        for (int x : {0, 1, 2, 9, 160, 318, 319})
            QCOMPARE(picture.pixelIndex(x, y), snapshotIndex(3, x, y));
}

void TestSnapshotLoader::refusesHostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = snapshotBytes();

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated header") << good.left(30);
    QTest::newRow("header without palette") << good.left(60);
    QTest::newRow("truncated pixel data") << good.left(good.size() - 1);
    QTest::newRow("text file") << QByteArray("Temp.bmp is not a picture, just some words.\n").repeated(20);

    QByteArray huge = good;
    putU32(huge, 18, 60000);
    putU32(huge, 22, 60000);
    QTest::newRow("huge declared size") << huge;
    QByteArray hugeWide = good;
    putU32(hugeWide, 18, 0x7FFFFFFF);
    QTest::newRow("width overflowing a row") << hugeWide;
    QByteArray negativeWidth = good;
    putU32(negativeWidth, 18, quint32(-320));
    QTest::newRow("negative width") << negativeWidth;
    QByteArray minHeight = good;
    putU32(minHeight, 22, 0x80000000u);
    QTest::newRow("most negative height") << minHeight;
    QByteArray zero = good;
    putU32(zero, 22, 0);
    QTest::newRow("zero height") << zero;

    QByteArray depth3 = good;
    putU16(depth3, 28, 3);
    QTest::newRow("wrong bit depth 3") << depth3;
    QByteArray depth0 = good;
    putU16(depth0, 28, 0);
    QTest::newRow("wrong bit depth 0") << depth0;
    QByteArray depth32 = good; // claims 32 bits per pixel but holds 4-bit rows
    putU16(depth32, 28, 32);
    QTest::newRow("bit depth larger than the data") << depth32;

    QByteArray palette = good;
    putU32(palette, 46, 0xFFFFFF);
    QTest::newRow("palette count beyond the depth") << palette;
    QByteArray offset = good;
    putU32(offset, 10, 0xFFFFFFF0u);
    QTest::newRow("pixel offset beyond the file") << offset;
    QByteArray offsetInHeader = good;
    putU32(offsetInHeader, 10, 20);
    QTest::newRow("pixel offset inside the header") << offsetInHeader;
    QByteArray infoSize = good;
    putU32(infoSize, 14, 0xFFFFFF00u);
    QTest::newRow("info header size huge") << infoSize;
    QByteArray rle = good;
    putU32(rle, 30, 1); // 8-bit run-length coding on a 4-bit picture
    QTest::newRow("compression not matching the depth") << rle;
    QByteArray jpeg = good;
    putU32(jpeg, 30, 4);
    QTest::newRow("embedded jpeg") << jpeg;
    QByteArray planes = good;
    putU16(planes, 26, 4);
    QTest::newRow("four planes") << planes;
    QByteArray magic = good;
    magic[0] = 'P';
    QTest::newRow("wrong magic") << magic;
}

void TestSnapshotLoader::refusesHostileFiles()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(writeFile(path, bytes));
    try {
        SnapshotLoader::load(path);
        QFAIL("a hostile file was accepted");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), RuntimeError::InvalidPicture);
        QVERIFY2(error.description().startsWith(QStringLiteral("Invalid picture")), qPrintable(error.description()));
        QVERIFY2(error.description().contains(path), qPrintable(error.description()));
    }
}

void TestSnapshotLoader::reportsMissingAndUnreadableFiles()
{
    QTemporaryDir dir;
    try {
        SnapshotLoader::load(dir.filePath(QStringLiteral("Temp.bmp")));
        QFAIL("a missing file was loaded");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), RuntimeError::FileNotFound);
        QVERIFY(error.description().startsWith(QStringLiteral("File not found: ")));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Temp.bmp")));
    try {
        SnapshotLoader::load(dir.filePath(QStringLiteral("Temp.bmp")));
        QFAIL("a folder was loaded as a picture");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), RuntimeError::FileAccess);
    }
}

void TestSnapshotLoader::acceptsOtherSaneBitmaps()
{
    // Top-down 24-bit and 8-bit run-length coded files, as other programs write them.
    QTemporaryDir dir;
    QImage rgb(37, 11, QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            rgb.setPixel(x, y, qRgb(x * 6, y * 20, (x * y) % 256));
    const QString path24 = dir.filePath(QStringLiteral("rgb.bmp"));
    QVERIFY(rgb.save(path24, "BMP"));
    QByteArray topDown = readFile(path24);
    putU32(topDown, 22, quint32(-11));
    const QImage flipped = SnapshotLoader::decode(topDown, QStringLiteral("top-down"));
    QCOMPARE(flipped.size(), rgb.size());
    QCOMPARE(flipped.pixel(3, 0), rgb.pixel(3, 10));

    // 8-bit RLE: 4 pixels wide, 2 rows: a run of 4 of index 1, then literal 2,3,2,3.
    QByteArray rle(54 + 4 * 4, '\0');
    rle[0] = 'B';
    rle[1] = 'M';
    putU32(rle, 14, 40);
    putU32(rle, 18, 4);
    putU32(rle, 22, 2);
    putU16(rle, 26, 1);
    putU16(rle, 28, 8);
    putU32(rle, 30, 1);
    putU32(rle, 46, 4);
    for (int i = 0; i < 4; ++i)
        rle[54 + 4 * i + 2] = char(i * 60); // red ramp
    putU32(rle, 10, quint32(rle.size()));
    rle.append(QByteArray::fromHex("0401" "0000" "0004" "02030203" "0001"));
    putU32(rle, 2, quint32(rle.size()));
    const QImage decoded = SnapshotLoader::decode(rle, QStringLiteral("rle"));
    QCOMPARE(decoded.size(), QSize(4, 2));
    QCOMPARE(qRed(decoded.pixel(0, 1)), 60);  // bottom row: the run
    QCOMPARE(qRed(decoded.pixel(1, 0)), 180); // top row: the literal pixels
}

QTEST_MAIN(TestSnapshotLoader)
#include "tst_SnapshotLoader.moc"
