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

FrmZLS740 *shownForm()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *form = qobject_cast<FrmZLS740 *>(w); form && form->isVisible())
            return form;
    return nullptr;
}

// Runs the program on folder; the window, if it shows, goes to onShown first.
int runProgram(const QString &folder, QStringList &reports, const std::function<void(FrmZLS740 &)> &onShown)
{
    QTimer shown; // local, so it cannot fire in a later test
    shown.setSingleShot(true);
    QObject::connect(&shown, &QTimer::timeout, [&] {
        if (FrmZLS740 *form = shownForm())
            onShown(*form);
    });
    shown.start(0);
    return Pictorix::run(*qobject_cast<QApplication *>(QCoreApplication::instance()), folder,
                         [&](const QString &text) {
                             if (shownForm())
                                 reports.append(QStringLiteral("(the window was shown)"));
                             reports.append(text);
                         });
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
    QImage picture;
    QString format;
    MessageBoxWatcher watcher; // Close asks nothing
    QStringList reports;
    QCOMPARE(runProgram(dir.path(), reports, [&](FrmZLS740 &form) {
                 picture = form.findChild<TwistedPixel *>(QStringLiteral("tpBMP"))->imagePicture();
                 format = QStringLiteral("%1 %2").arg(form.fileTypeCode()).arg(form.fileExtension());
                 QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
             }),
             0);
    QVERIFY(reports.isEmpty() && watcher.seen().empty());
    QCOMPARE(picture, snapshot(4));
    QCOMPARE(format, QStringLiteral("11 jpg"));
}

void TestFrmZLS740::optionSetsCodeAndExtension_data()
{
    // Option i chooses format code i + 3; its caption is the extension.
    QTest::addColumn<int>("index");
    const char *captions[] = {"wmf", "bmp", "gif", "Ico", "cur", "pcx", "tif", "png", "jpg"};
    for (int i = 0; i < FrmZLS740::OptionCount; ++i)
        QTest::newRow(captions[i]) << i;
}

void TestFrmZLS740::optionSetsCodeAndExtension()
{
    QFETCH(int, index);
    const QString caption = QString::fromLatin1(QTest::currentDataTag());
    const bool shown = QStringList{"bmp", "pcx", "tif", "png", "jpg"}.contains(caption);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    FrmZLS740 form;
    form.load(dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto option = [&form](int i) { return form.findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(i)); };
    QTest::mouseClick(option(index == 1 ? 7 : 1), Qt::LeftButton); // something for the choice to change
    QCOMPARE(option(index)->text(), caption);
    QCOMPARE(option(index)->isVisible(), shown);
    if (shown)
        QTest::mouseClick(option(index), Qt::LeftButton);
    else
        option(index)->setChecked(true);
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
    // Should the window ever show, it is closed so the test ends and fails.
    bool windowShown = false;
    QStringList reports;
    QVERIFY(runProgram(dir.path(), reports, [&](FrmZLS740 &form) { windowShown = form.close(); }) != 0);
    QVERIFY(!windowShown);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(report) && reports[0].contains(path), qPrintable(reports[0]));
    if (!bytes.isEmpty()) // the tool never touches the snapshot
        QCOMPARE(readFile(path), bytes);
}

QTEST_MAIN(TestFrmZLS740)
#include "tst_FrmZLS740.moc"
