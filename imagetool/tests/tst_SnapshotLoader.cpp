// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <array>

using namespace TestSupport;

class TestSnapshotLoader : public QObject {
    Q_OBJECT
private slots:
    void loadsTheSnapshotPixelForPixel();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
};

void TestSnapshotLoader::loadsTheSnapshotPixelForPixel()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QCOMPARE(snapshotBytes(3).size(), 38518);
    QVERIFY(writeFile(path, snapshotBytes(3)));
    const QImage picture = SnapshotLoader::load(path);
    QCOMPARE(picture.size(), QSize(320, 240));
    // Kept with its 16-colour table, so the encoders see the exact indices.
    QCOMPARE(picture.colorTable(), snapshotPalette());
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
    QTest::newRow("truncated pixel data") << good.left(good.size() - 1);
    QTest::newRow("wrong magic") << QByteArray(good).replace(0, 1, "P");

    // Header fields at hostile values: {name, {offset, value, bytes}...}.
    const struct {
        const char *name;
        std::initializer_list<std::array<quint32, 3>> fields;
    } rows[] = {
        {"huge declared size", {{18, 60000, 4}, {22, 60000, 4}}},
        {"width overflowing a row", {{18, 0x7FFFFFFF, 4}}},
        {"most negative height", {{22, 0x80000000u, 4}}},
        {"wrong bit depth 3", {{28, 3, 2}}},
        {"bit depth larger than the data", {{28, 32, 2}}},
        {"compression not matching the depth", {{30, 1, 4}}},
        {"palette count beyond the depth", {{46, 0xFFFFFF, 4}}},
        {"pixel offset beyond the file", {{10, 0xFFFFFFF0u, 4}}},
        {"pixel offset inside the header", {{10, 20, 4}}},
    };
    for (const auto &row : rows) {
        QByteArray b = good;
        for (const auto &[at, value, size] : row.fields)
            putLE(b, int(at), value, int(size));
        QTest::newRow(row.name) << b;
    }
}

void TestSnapshotLoader::refusesHostileFiles()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(writeFile(path, bytes));
    QString description;
    QCOMPARE(raisedNumber([&] { SnapshotLoader::load(path); }, &description), RuntimeError::InvalidPicture);
    QVERIFY2(description.startsWith(QStringLiteral("Invalid picture")) && description.contains(path),
             qPrintable(description));
}

QTEST_MAIN(TestSnapshotLoader)
#include "tst_SnapshotLoader.moc"
