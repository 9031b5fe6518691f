// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "SnapshotLoader.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

QImage snapshot(int seed = 0)
{
    return SnapshotLoader::decode(snapshotBytes(seed), QStringLiteral("snapshot"));
}

// Calls SaveImage through the late-binding entry point, as the form does.
void saveThroughDispatch(TwistedPixel &control, const QString &fileName, qint16 code)
{
    QVariantList args{fileName, QVariant::fromValue(code)};
    control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, args);
}

int raisedNumber(const std::function<void()> &action, QString *description = nullptr)
{
    try {
        action();
    } catch (const RuntimeError &error) {
        if (description)
            *description = error.description();
        return error.number();
    }
    return 0;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestTwistedPixel : public QObject {
    Q_OBJECT
private slots:
    void imagePictureGivesBackWhatWasPut();
    void dispatchRefusesUnknownMembersAndArguments();
    void offeredFormatsReadBackWithTheSnapshotsPixels_data();
    void offeredFormatsReadBackWithTheSnapshotsPixels();
    void hiddenFormatsWriteRealFiles_data();
    void hiddenFormatsWriteRealFiles();
    void pcxCodesRunsAndOtherPictures();
    void unavailableAndUnknownCodesRaiseClearErrors();
    void failedSaveLeavesTheOldFileAndNoTemporary();
    void fullDiskLeavesTheOldFile();
    void saveWithoutPictureRaises();
};

void TestTwistedPixel::imagePictureGivesBackWhatWasPut()
{
    TwistedPixel control;
    QVariantList put{QVariant::fromValue(snapshot(5))};
    control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, put);
    QVariantList none;
    const QImage got = control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyGet, none).value<QImage>();
    QCOMPARE(got, snapshot(5));
    QCOMPARE(got.format(), QImage::Format_Indexed8);

    // A null picture is refused and the old one stays.
    QVariantList null{QVariant::fromValue(QImage())};
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, null); }),
             RuntimeError::InvalidPropertyValue);
    QCOMPARE(control.imagePicture(), snapshot(5));
}

void TestTwistedPixel::dispatchRefusesUnknownMembersAndArguments()
{
    TwistedPixel control;
    control.setImagePicture(snapshot());
    QVariantList none;
    QCOMPARE(raisedNumber([&] { control.invoke(13, TwistedPixel::Call::PropertyGet, none); }), 438);
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::PropertyGet, none); }), 438);
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, none); }), 450);
    // The format code is a 16-bit integer; a plain int is the wrong type.
    QVariantList wrongType{QStringLiteral("/tmp/x"), QVariant(11)};
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, wrongType); }), 450);
    QVariantList twoPictures{QVariant::fromValue(snapshot()), QVariant::fromValue(snapshot())};
    QCOMPARE(raisedNumber([&] { control.invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, twoPictures); }), 450);
}

void TestTwistedPixel::offeredFormatsReadBackWithTheSnapshotsPixels_data()
{
    QTest::addColumn<qint16>("code");
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("bmp") << qint16(4) << QStringLiteral("BMP") << 0.0;
    QTest::newRow("pcx") << qint16(8) << QStringLiteral("PCX") << 0.0;
    QTest::newRow("tif") << qint16(9) << QStringLiteral("TIFF") << 0.0;
    QTest::newRow("png") << qint16(10) << QStringLiteral("PNG") << 0.0;
    // JPEG is lossy and halves the colour resolution, which the test picture's
    // single pixels of pure colour feel most; brightness stays close. A wrong
    // row order, a mirrored picture or swapped colours give errors far above.
    QTest::newRow("jpg") << qint16(11) << QStringLiteral("JPEG") << 32.0;
}

void TestTwistedPixel::offeredFormatsReadBackWithTheSnapshotsPixels()
{
    QFETCH(qint16, code);
    QFETCH(QString, decoder);
    QFETCH(double, tolerance);
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot(7));
    // No extension: the format follows the code, not the name.
    const QString path = dir.filePath(QStringLiteral("0408114955"));
    saveThroughDispatch(control, path, code);

    QVERIFY(identifyFormat(path).startsWith(decoder)); // BMP3 for a bitmap
    const QImage decoded = decodeWithImageMagick(path, decoder);
    QCOMPARE(decoded.size(), QSize(320, 240));
    const double error = meanChannelError(decoded, snapshot(7));
    QVERIFY2(error <= tolerance, qPrintable(QStringLiteral("mean error %1").arg(error)));
    const double brightness = meanLumaError(decoded, snapshot(7));
    QVERIFY2(brightness <= tolerance / 4, qPrintable(QStringLiteral("mean brightness error %1").arg(brightness)));
    if (tolerance == 0.0) {
        const QImage expected = snapshot(7).convertToFormat(QImage::Format_RGB888);
        QCOMPARE(decoded, expected);
    }
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("0408114955")});
}

void TestTwistedPixel::hiddenFormatsWriteRealFiles_data()
{
    QTest::addColumn<qint16>("code");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("decoder");
    QTest::newRow("gif") << qint16(5) << QByteArray("GIF8") << QStringLiteral("GIF");
    QTest::newRow("Ico") << qint16(6) << QByteArray::fromHex("000001000100") << QStringLiteral("ICO");
    QTest::newRow("cur") << qint16(7) << QByteArray::fromHex("000002000100") << QStringLiteral("CUR");
}

void TestTwistedPixel::hiddenFormatsWriteRealFiles()
{
    QFETCH(qint16, code);
    QFETCH(QByteArray, head);
    QFETCH(QString, decoder);
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot(2));
    const QString path = dir.filePath(QStringLiteral("picture"));
    saveThroughDispatch(control, path, code);

    const QByteArray bytes = readFile(path);
    QVERIFY(bytes.startsWith(head));
    if (code == 7) {
        // A cursor's entry holds its hot spot where an icon's holds planes and depth.
        QCOMPARE(bytes.mid(10, 4), QByteArray(4, '\0'));
    }
    // The whole picture at its own size, not shrunk to 256 pixels.
    const QImage decoded = decodeWithImageMagick(path, decoder);
    QCOMPARE(decoded.size(), QSize(320, 240));
    QCOMPARE(decoded, snapshot(2).convertToFormat(QImage::Format_RGB888));
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
        const QByteArray bytes = readFile(path);
        QCOMPARE(quint8(bytes[0]), quint8(0x0A));
        QCOMPARE(quint8(bytes[1]), quint8(5));
        QCOMPARE(decodeWithImageMagick(path, QStringLiteral("PCX")), picture.convertToFormat(QImage::Format_RGB888));
    }
}

void TestTwistedPixel::unavailableAndUnknownCodesRaiseClearErrors()
{
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot());
    const QString path = dir.filePath(QStringLiteral("x"));
    QString description;
    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, path, 3); }, &description), RuntimeError::FormatNotAvailable);
    QVERIFY2(description.contains(QStringLiteral("wmf")), qPrintable(description));
    for (qint16 code : {qint16(0), qint16(2), qint16(12), qint16(-1)}) {
        QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, path, code); }, &description), RuntimeError::InvalidPropertyValue);
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

    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, path, 3); }), RuntimeError::FormatNotAvailable);
    QCOMPARE(readFile(path), old);

    // A folder of that name cannot be replaced by a file: the write fails at
    // the rename, and the temporary file goes away.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, dir.filePath(QStringLiteral("folder")), 10); }), RuntimeError::FileAccess);
    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, dir.filePath(QStringLiteral("missing/x.png")), 10); }), RuntimeError::PathNotFound);
    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, QString(), 10); }), RuntimeError::PathNotFound);
    QCOMPARE(folderEntries(dir.path()), (QStringList{QStringLiteral("folder"), QStringLiteral("kept.png")}));
    QVERIFY(folderEntries(dir.filePath(QStringLiteral("folder"))).isEmpty());

    // A successful save replaces the file as a whole.
    saveThroughDispatch(control, path, 10);
    QVERIFY(readFile(path).startsWith("\x89PNG"));
    QCOMPARE(folderEntries(dir.path()), (QStringList{QStringLiteral("folder"), QStringLiteral("kept.png")}));
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
    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, path, 4); }, &description), RuntimeError::FileAccess);
    QVERIFY2(description.contains(QStringLiteral("kept.bmp")), qPrintable(description));
    QCOMPARE(readFile(path), old);
    QCOMPARE(folderEntries(mountPoint), QStringList{QStringLiteral("kept.bmp")});
}

void TestTwistedPixel::saveWithoutPictureRaises()
{
    QTemporaryDir dir;
    TwistedPixel control;
    QCOMPARE(raisedNumber([&] { saveThroughDispatch(control, dir.filePath(QStringLiteral("x")), 10); }), RuntimeError::NoPicture);
    QVERIFY(folderEntries(dir.path()).isEmpty());
}

QTEST_MAIN(TestTwistedPixel)
#include "tst_TwistedPixel.moc"
