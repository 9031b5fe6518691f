// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "RuntimeError.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

namespace {

// SaveImage through the late-binding entry point, as the form calls it; the number of the error raised.
int save(TwistedPixel& control, const QString& fileName, qint16 code, QString* description = nullptr)
{
    QVariantList args{fileName, QVariant::fromValue(code)};
    return raisedNumber([&] { control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, args); },
                        description);
}

}  // namespace

class TestTwistedPixel : public QObject {
    Q_OBJECT
private slots:
    void writesTheFormatItsCodeNames_data();
    void writesTheFormatItsCodeNames();
    void refusesACodeWithoutAnEncoder();
    void refusesToSaveWithoutAPicture();
    void failedSaveLeavesTheOldFileAndNoTemporary_data();
    void failedSaveLeavesTheOldFileAndNoTemporary();
};

void TestTwistedPixel::writesTheFormatItsCodeNames_data()
{
    QTest::addColumn<qint16>("code");
    QTest::addColumn<QString>("decoder");  // ImageMagick's name of the format
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("bmp") << qint16(4) << QStringLiteral("BMP") << QByteArray("BM") << 0.0;
    QTest::newRow("pcx") << qint16(8) << QStringLiteral("PCX") << QByteArray::fromHex("0a05") << 0.0;
    QTest::newRow("tif") << qint16(9) << QStringLiteral("TIFF") << QByteArray("II") << 0.0;
    QTest::newRow("png") << qint16(10) << QStringLiteral("PNG") << QByteArray("\x89PNG") << 0.0;
    // Lossy, half the colour resolution: turned, mirrored or swapped colours give far above 32.
    QTest::newRow("jpg") << qint16(11) << QStringLiteral("JPEG") << QByteArray("\xff\xd8") << 32.0;
    // Formats not offered on the form, written at the picture's own size.
    QTest::newRow("gif") << qint16(5) << QStringLiteral("GIF") << QByteArray("GIF8") << 0.0;
    QTest::newRow("Ico") << qint16(6) << QStringLiteral("ICO") << QByteArray::fromHex("000001000100") << 0.0;
    QTest::newRow("cur") << qint16(7) << QStringLiteral("CUR") << QByteArray::fromHex("000002000100") << 0.0;
}

void TestTwistedPixel::writesTheFormatItsCodeNames()
{
    QFETCH(qint16, code);
    QFETCH(QString, decoder);
    QFETCH(QByteArray, head);
    QFETCH(double, tolerance);
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot(7));
    const QString path = dir.filePath(QStringLiteral("0408114955"));  // the format follows the code, not the name
    QCOMPARE(save(control, path, code), 0);
    QVERIFY(readFile(path).startsWith(head));
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("0408114955")});
    const QImage decoded = decodeWithImageMagick(path, decoder);
    const QImage expected = snapshot(7).convertToFormat(QImage::Format_RGB888);
    QCOMPARE(decoded.size(), expected.size());
    if (tolerance == 0.0)
        QCOMPARE(decoded, expected);
    double mean = 0;  // mean absolute difference per colour channel; rows of 960 bytes have no padding
    for (qsizetype i = 0; i < decoded.sizeInBytes(); ++i)
        mean += qAbs(decoded.constBits()[i] - expected.constBits()[i]) / double(decoded.sizeInBytes());
    QVERIFY2(mean <= tolerance, qPrintable(QStringLiteral("mean error %1").arg(mean)));
}

void TestTwistedPixel::refusesACodeWithoutAnEncoder()
{
    QTemporaryDir dir;
    TwistedPixel control;
    control.setImagePicture(snapshot());
    for (const auto& [code, error, named] : {std::tuple{qint16(3), RuntimeError::kFormatNotAvailable, "wmf"},
                                             {qint16(2), RuntimeError::kInvalidPropertyValue, "code 2"},
                                             {qint16(12), RuntimeError::kInvalidPropertyValue, "code 12"}}) {
        QString description;
        QCOMPARE(save(control, dir.filePath(QStringLiteral("x")), code, &description), error);
        QVERIFY2(description.contains(QLatin1String(named)), qPrintable(description));
    }
    QVERIFY(folderEntries(dir.path()).isEmpty());
}

void TestTwistedPixel::refusesToSaveWithoutAPicture()
{
    QTemporaryDir dir;
    TwistedPixel control;
    for (qint16 code = 2; code <= 12; ++code)  // whatever the code, known or not
        QCOMPARE(save(control, dir.filePath(QStringLiteral("x")), code), RuntimeError::kNoPicture);
    QVERIFY(folderEntries(dir.path()).isEmpty());
}

void TestTwistedPixel::failedSaveLeavesTheOldFileAndNoTemporary_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<int>("error");
    QTest::newRow("folder missing") << QStringLiteral("missing/kept.bmp") << false << RuntimeError::kPathNotFound;
    // A folder cannot be replaced by a file: the write fails at the rename.
    QTest::newRow("name of a folder") << QStringLiteral("folder") << false << RuntimeError::kFileAccess;
    // 38518 bytes of BMP do not fit beside the 30000 bytes already there.
    QTest::newRow("disk full") << QStringLiteral("kept.bmp") << true << RuntimeError::kFileAccess;
}

void TestTwistedPixel::failedSaveLeavesTheOldFileAndNoTemporary()
{
    QFETCH(QString, target);
    QFETCH(bool, fullDisk);
    QFETCH(int, error);
    QTemporaryDir dir;
    QString folder = dir.path();
    bool mounted = false;
    const auto unmount = qScopeGuard([&] {  // before the temporary folder is removed
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {folder});
    });
    if (fullDisk) {
        folder = dir.filePath(QStringLiteral("small"));  // a small memory file system as a full disk
        QVERIFY(QDir().mkdir(folder));
        mounted = QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=48k", "tmpfs", folder}) == 0;
        if (!mounted)
            QSKIP("no permission to mount a small file system here");
    }
    QVERIFY(QDir(folder).mkdir(QStringLiteral("folder")));
    const QByteArray old(30000, 'k');
    QVERIFY(writeFile(folder + QStringLiteral("/kept.bmp"), old));

    TwistedPixel control;
    control.setImagePicture(snapshot());
    QString description;
    QCOMPARE(save(control, folder + '/' + target, 4, &description), error);
    QVERIFY2(description.contains(target.section('/', -1)), qPrintable(description));
    QCOMPARE(readFile(folder + QStringLiteral("/kept.bmp")), old);
    QCOMPARE(folderEntries(folder), (QStringList{QStringLiteral("folder"), QStringLiteral("kept.bmp")}));
    QVERIFY(folderEntries(folder + QStringLiteral("/folder")).isEmpty());
}

QTEST_MAIN(TestTwistedPixel)
#include "tst_TwistedPixel.moc"
