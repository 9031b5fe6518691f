// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

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
    const auto with = [&good](int at, quint32 value, int size = 4) {
        QByteArray b = good;
        putLE(b, at, value, size);
        return b;
    };

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated header") << good.left(30);
    QTest::newRow("header without palette") << good.left(60);
    QTest::newRow("truncated pixel data") << good.left(good.size() - 1);
    QTest::newRow("text file") << QByteArray("Temp.bmp is not a picture, just some words.\n").repeated(20);
    QTest::newRow("wrong magic") << QByteArray(good).replace(0, 1, "P");
    QByteArray huge = with(18, 60000);
    putLE(huge, 22, 60000);
    QTest::newRow("huge declared size") << huge;

    // One header field at a hostile value: {name, offset, value, bytes}.
    const struct {
        const char *name;
        int at;
        quint32 value;
        int size;
    } fields[] = {
        {"width overflowing a row", 18, 0x7FFFFFFF, 4},
        {"negative width", 18, quint32(-320), 4},
        {"most negative height", 22, 0x80000000u, 4},
        {"zero height", 22, 0, 4},
        {"four planes", 26, 4, 2},
        {"wrong bit depth 3", 28, 3, 2},
        {"wrong bit depth 0", 28, 0, 2},
        {"bit depth larger than the data", 28, 32, 2}, // the rows hold 4 bits a pixel
        {"compression not matching the depth", 30, 1, 4}, // 8-bit run-length coding
        {"embedded jpeg", 30, 4, 4},
        {"palette count beyond the depth", 46, 0xFFFFFF, 4},
        {"pixel offset beyond the file", 10, 0xFFFFFFF0u, 4},
        {"pixel offset inside the header", 10, 20, 4},
        {"info header size huge", 14, 0xFFFFFF00u, 4},
    };
    for (const auto &f : fields)
        QTest::newRow(f.name) << with(f.at, f.value, f.size);
}

void TestSnapshotLoader::refusesHostileFiles()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(writeFile(path, bytes));
    QString description;
    QCOMPARE(raisedNumber([&] { SnapshotLoader::load(path); }, &description), RuntimeError::InvalidPicture);
    QVERIFY2(description.startsWith(QStringLiteral("Invalid picture")), qPrintable(description));
    QVERIFY2(description.contains(path), qPrintable(description));
}

void TestSnapshotLoader::reportsMissingAndUnreadableFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QString description;
    QCOMPARE(raisedNumber([&] { SnapshotLoader::load(path); }, &description), RuntimeError::FileNotFound);
    QVERIFY(description.startsWith(QStringLiteral("File not found: ")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Temp.bmp")));
    QCOMPARE(raisedNumber([&] { SnapshotLoader::load(path); }), RuntimeError::FileAccess);
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
    putLE(topDown, 22, quint32(-11));
    const QImage flipped = SnapshotLoader::decode(topDown, QStringLiteral("top-down"));
    QCOMPARE(flipped.size(), rgb.size());
    QCOMPARE(flipped.pixel(3, 0), rgb.pixel(3, 10));

    // 8-bit RLE: 4 pixels wide, 2 rows: a run of 4 of index 1, then literal 2,3,2,3.
    QByteArray rle = bitmapHeader(4, 2, 8, 1) + QByteArray(4 * 4, '\0');
    putLE(rle, 46, 4);
    for (int i = 0; i < 4; ++i)
        rle[54 + 4 * i + 2] = char(i * 60); // red ramp
    putLE(rle, 10, quint32(rle.size()));
    rle.append(QByteArray::fromHex("0401" "0000" "0004" "02030203" "0001"));
    putLE(rle, 2, quint32(rle.size()));
    const QImage decoded = SnapshotLoader::decode(rle, QStringLiteral("rle"));
    QCOMPARE(decoded.size(), QSize(4, 2));
    QCOMPARE(qRed(decoded.pixel(0, 1)), 60);  // bottom row: the run
    QCOMPARE(qRed(decoded.pixel(1, 0)), 180); // top row: the literal pixels
}

QTEST_MAIN(TestSnapshotLoader)
#include "tst_SnapshotLoader.moc"
