// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

// Calls SaveImage through the late-binding entry point, as the form does.
void saveThroughDispatch(TwistedPixel &control, const QString &fileName, qint16 code)
{
    QVariantList args{fileName, QVariant::fromValue(code)};
    control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, args);
}

int saveError(TwistedPixel &control, const QString &fileName, qint16 code, QString *description = nullptr)
{
    return raisedNumber([&] { saveThroughDispatch(control, fileName, code); }, description);
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestTwistedPixel : public QObject {
    Q_OBJECT
private slots:
    void dispatchChecksMembersAndArguments();
    void everyFormatReadsBackWithTheSnapshotsPixels_data();
    void everyFormatReadsBackWithTheSnapshotsPixels();
    void pcxCodesRunsAndOtherPictures();
    void unavailableAndUnknownCodesRaiseClearErrors();
    void failedSaveLeavesTheOldFileAndNoTemporary();
    void fullDiskLeavesTheOldFile();
};

void TestTwistedPixel::dispatchChecksMembersAndArguments()
{
    TwistedPixel control;
    QVariantList put{QVariant::fromValue(snapshot(5))};
    control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, put);
    QVariantList none;
    QCOMPARE(control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyGet, none).value<QImage>(), snapshot(5));

    // A null picture is refused and the old one stays.
    QVariantList null{QVariant::fromValue(QImage())};
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, null); }),
             RuntimeError::InvalidPropertyValue);
    QCOMPARE(control.imagePicture(), snapshot(5));

    QCOMPARE(raisedNumber([&] { control.invoke(13, TwistedPixel::Call::PropertyGet, none); }), 438);
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::PropertyGet, none); }), 438);
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, none); }), 450);
    // The format code is a 16-bit integer; a plain int is the wrong type.
    QVariantList wrongType{QStringLiteral("/tmp/x"), QVariant(11)};
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, wrongType); }), 450);
    QVariantList twoPictures{QVariant::fromValue(snapshot()), QVariant::fromValue(snapshot())};
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, twoPictures); }), 450);
}

void TestTwistedPixel::everyFormatReadsBackWithTheSnapshotsPixels_data()
{
    QTest::addColumn<qint16>("code");
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("bmp") << qint16(4) << QStringLiteral("BMP") << QByteArray("BM") << 0.0;
    QTest::newRow("pcx") << qint16(8) << QStringLiteral("PCX") << QByteArray::fromHex("0a05") << 0.0;
    QTest::newRow("tif") << qint16(9) << QStringLiteral("TIFF") << QByteArray("II") << 0.0;
    QTest::newRow("png") << qint16(10) << QStringLiteral("PNG") << QByteArray("\x89PNG") << 0.0;
    // JPEG is lossy and halves the colour resolution, which the test picture's
    // single pixels of pure colour feel most; brightness stays close. A wrong row order, a mirrored
    // picture or swapped colours give errors far above.
    QTest::newRow("jpg") << qint16(11) << QStringLiteral("JPEG") << QByteArray("\xff\xd8") << 32.0;
    // The formats without an option shown on the form write real files too,
    // at the picture's own size (an icon not shrunk to 256 pixels).
    QTest::newRow("gif") << qint16(5) << QStringLiteral("GIF") << QByteArray("GIF8") << 0.0;
    QTest::newRow("Ico") << qint16(6) << QStringLiteral("ICO") << QByteArray::fromHex("000001000100") << 0.0;
    QTest::newRow("cur") << qint16(7) << QStringLiteral("CUR") << QByteArray::fromHex("000002000100") << 0.0;
}

void TestTwistedPixel::everyFormatReadsBackWithTheSnapshotsPixels()
{
    QFETCH(qint16, code);
    QFETCH(QString, decoder);
    QFETCH(QByteArray, head);
    QFETCH(double, tolerance);
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot(7));
    // No extension: the format follows the code, not the name.
    const QString path = dir.filePath(QStringLiteral("0408114955"));
    saveThroughDispatch(control, path, code);

    const QByteArray bytes = readFile(path);
    QVERIFY(bytes.startsWith(head));
    // A cursor's entry holds its hot spot where an icon's holds planes and depth.
    if (code == 7)
        QCOMPARE(bytes.mid(10, 4), QByteArray(4, '\0'));
    const QImage decoded = decodeWithImageMagick(path, decoder);
    QCOMPARE(decoded.size(), QSize(320, 240));
    const QImage expected = snapshot(7).convertToFormat(QImage::Format_RGB888);
    if (tolerance == 0.0) {
        QCOMPARE(decoded, expected);
    } else {
        const double error = meanChannelError(decoded, expected);
        QVERIFY2(error <= tolerance, qPrintable(QStringLiteral("mean error %1").arg(error)));
        // Brightness stays much closer than colour.
        const double brightness = meanChannelError(decoded.convertToFormat(QImage::Format_Grayscale8),
                                                   expected.convertToFormat(QImage::Format_Grayscale8));
        QVERIFY2(brightness <= tolerance / 4, qPrintable(QStringLiteral("mean brightness error %1").arg(brightness)));
    }
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("0408114955")});
}

void TestTwistedPixel::pcxCodesRunsAndOtherPictures()
{
    // Odd width (a padded line), runs longer than 63, single bytes of 0xC0
    // and above (they must be coded as runs), and a true-colour picture.
    QTemporaryDir dir;
    QImage indexed(131, 3, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table.append(qRgb(i, 255 - i, (i * 7) % 256));
    indexed.setColorTable(table);
    for (int x = 0; x < 131; ++x) {
        indexed.setPixel(x, 0, 200);               // one run of 131
        indexed.setPixel(x, 1, (x * 37) % 256);    // nearly no runs, many bytes >= 0xC0
        indexed.setPixel(x, 2, x < 64 ? 0xC1 : 7); // a run of 64 crossing the 63 limit
    }
    QImage rgb(5, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            rgb.setPixel(x, y, qRgb(x * 60, y * 80, 200 + x));
    for (const QImage &picture : {indexed, rgb}) {
        TwistedPixel control;
        control.setImagePicture(picture);
        const QString path = dir.filePath(QStringLiteral("p.pcx"));
        saveThroughDispatch(control, path, 8);
        QCOMPARE(decodeWithImageMagick(path, QStringLiteral("PCX")), picture.convertToFormat(QImage::Format_RGB888));
    }
}

void TestTwistedPixel::unavailableAndUnknownCodesRaiseClearErrors()
{
    QTemporaryDir dir;
    TwistedPixel control;
    const QString path = dir.filePath(QStringLiteral("x"));
    QCOMPARE(saveError(control, path, 10), RuntimeError::NoPicture);
    control.setImagePicture(snapshot());
    QString description;
    QCOMPARE(saveError(control, path, 3, &description), RuntimeError::FormatNotAvailable);
    QVERIFY2(description.contains(QStringLiteral("wmf")), qPrintable(description));
    for (qint16 code : {qint16(0), qint16(2), qint16(12), qint16(-1)}) {
        QCOMPARE(saveError(control, path, code, &description), RuntimeError::InvalidPropertyValue);
        QVERIFY2(description.contains(QString::number(code)), qPrintable(description));
    }
    QVERIFY(folderEntries(dir.path()).isEmpty());
}

void TestTwistedPixel::failedSaveLeavesTheOldFileAndNoTemporary()
{
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot());
    const QString path = dir.filePath(QStringLiteral("kept.png"));
    const QByteArray old("an earlier file that must survive");
    QVERIFY(writeFile(path, old));

    QCOMPARE(saveError(control, path, 3), RuntimeError::FormatNotAvailable);
    QCOMPARE(readFile(path), old);

    // A folder of that name cannot be replaced by a file: the write fails at
    // the rename, and the temporary file goes away.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(saveError(control, dir.filePath(QStringLiteral("folder")), 10), RuntimeError::FileAccess);
    QCOMPARE(saveError(control, dir.filePath(QStringLiteral("missing/x.png")), 10), RuntimeError::PathNotFound);
    QCOMPARE(saveError(control, QString(), 10), RuntimeError::PathNotFound);
    const QStringList entries{QStringLiteral("folder"), QStringLiteral("kept.png")};
    QCOMPARE(folderEntries(dir.path()), entries);
    QVERIFY(folderEntries(dir.filePath(QStringLiteral("folder"))).isEmpty());

    // A successful save replaces the file as a whole.
    saveThroughDispatch(control, path, 10);
    QVERIFY(readFile(path).startsWith("\x89PNG"));
    QCOMPARE(folderEntries(dir.path()), entries);
}

void TestTwistedPixel::fullDiskLeavesTheOldFile()
{
    // A small memory file system stands in for a full disk.
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("small")));
    bool ok = false;
    run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                  QStringLiteral("size=48k"), QStringLiteral("tmpfs"), mountPoint}, &ok);
    if (!ok)
        QSKIP("no permission to mount a small file system here");
    const auto unmount = qScopeGuard([&] { run(QStringLiteral("umount"), {mountPoint}, &ok); });

    const QString path = mountPoint + QStringLiteral("/kept.bmp");
    const QByteArray old(30000, 'k');
    QVERIFY(writeFile(path, old));
    TwistedPixel control;
    control.setImagePicture(snapshot());
    // 38518 bytes of BMP do not fit beside the 30000 bytes already there.
    QString description;
    QCOMPARE(saveError(control, path, 4, &description), RuntimeError::FileAccess);
    QVERIFY2(description.contains(QStringLiteral("kept.bmp")), qPrintable(description));
    QCOMPARE(readFile(path), old);
    QCOMPARE(folderEntries(mountPoint), QStringList{QStringLiteral("kept.bmp")});
}

QTEST_MAIN(TestTwistedPixel)
#include "tst_TwistedPixel.moc"
