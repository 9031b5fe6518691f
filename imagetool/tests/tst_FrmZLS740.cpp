// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "Pictorix.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

QApplication &app()
{
    return *qobject_cast<QApplication *>(QCoreApplication::instance());
}

FrmZLS740 *shownForm()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *form = qobject_cast<FrmZLS740 *>(w); form && form->isVisible())
            return form;
    return nullptr;
}

} // namespace

class TestFrmZLS740 : public QObject {
    Q_OBJECT
private slots:
    void startsOnJpgWithTheSnapshotAndCloses();
    void optionSetsCodeAndExtension_data();
    void optionSetsCodeAndExtension();
    void startupFailureExitsWithoutTheWindow_data();
    void startupFailureExitsWithoutTheWindow();
};

void TestFrmZLS740::startsOnJpgWithTheSnapshotAndCloses()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(4)));
    QImage shown;
    qint16 code = 0;
    QString extension;
    QTimer::singleShot(0, this, [&] {
        if (FrmZLS740 *form = shownForm()) {
            shown = form->findChild<TwistedPixel *>(QStringLiteral("tpBMP"))->imagePicture();
            code = form->fileTypeCode();
            extension = form->fileExtension();
            QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
        }
    });
    MessageBoxWatcher watcher; // Close asks nothing
    QStringList reports;
    QCOMPARE(Pictorix::run(app(), dir.path(), [&](const QString &text) { reports.append(text); }), 0);
    QVERIFY(reports.isEmpty() && watcher.seen().empty());
    QCOMPARE(shown, snapshot(4));
    QCOMPARE(code, qint16(11));
    QCOMPARE(extension, QStringLiteral("jpg"));
}

void TestFrmZLS740::optionSetsCodeAndExtension_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("shown");
    // Option i chooses format code i + 3; its caption is the extension.
    const char *captions[] = {"wmf", "bmp", "gif", "Ico", "cur", "pcx", "tif", "png", "jpg"};
    for (int i = 0; i < FrmZLS740::OptionCount; ++i) {
        const QString caption = QString::fromLatin1(captions[i]);
        const bool shown = QStringList{"bmp", "pcx", "tif", "png", "jpg"}.contains(caption);
        QTest::newRow(captions[i]) << i << caption << shown;
    }
}

void TestFrmZLS740::optionSetsCodeAndExtension()
{
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(bool, shown);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    FrmZLS740 form;
    form.load(dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Start from another option, so the choice has something to change.
    auto *option = form.findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(index));
    auto *other = form.findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(index == 1 ? 7 : 1));
    QTest::mouseClick(other, Qt::LeftButton);
    QCOMPARE(option->text(), caption);
    QCOMPARE(option->isVisible(), shown);
    if (shown)
        QTest::mouseClick(option, Qt::LeftButton);
    else
        option->setChecked(true);
    QCOMPARE(form.fileTypeCode(), qint16(index + 3));
    QCOMPARE(form.fileExtension(), caption);
}

void TestFrmZLS740::startupFailureExitsWithoutTheWindow_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("report");
    QTest::newRow("no snapshot") << QByteArray() << QStringLiteral("Run-time error '53':\n\nFile not found: ");
    QTest::newRow("not a picture") << QByteArray(38518, 'x') << QStringLiteral("Run-time error '481':\n\nInvalid picture: ");
}

void TestFrmZLS740::startupFailureExitsWithoutTheWindow()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    if (!bytes.isEmpty())
        QVERIFY(writeFile(path, bytes));
    // Should the window ever show, this closes it so the test ends and fails.
    bool windowShown = false;
    QTimer closer; // local, so it cannot fire in a later test
    closer.setSingleShot(true);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget *form = shownForm()) {
            windowShown = true;
            form->close();
        }
    });
    closer.start(0);
    QStringList reports;
    const int code = Pictorix::run(app(), dir.path(), [&](const QString &text) {
        windowShown = windowShown || shownForm();
        reports.append(text);
    });
    QVERIFY(code != 0);
    QVERIFY(!windowShown);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(report) && reports[0].contains(path), qPrintable(reports[0]));
    if (!bytes.isEmpty()) // the tool never touches the snapshot
        QCOMPARE(readFile(path), bytes);
}

QTEST_MAIN(TestFrmZLS740)
#include "tst_FrmZLS740.moc"
