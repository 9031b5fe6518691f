// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "Pictorix.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QClipboard>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

class TestFrmZLS740 : public QObject {
    Q_OBJECT
private slots:
    void startsOrReportsTheFailure_data();
    void startsOrReportsTheFailure();
};

void TestFrmZLS740::startsOrReportsTheFailure_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("report");  // none: the window shows
    QTest::newRow("snapshot") << snapshotBytes(4) << QString();
    QTest::newRow("no snapshot") << QByteArray() << QStringLiteral("Run-time error '53':\n\nFile not found: ");
    QTest::newRow("not a picture") << QByteArray(38518, 'x')
                                   << QStringLiteral("Run-time error '481':\n\nInvalid picture: ");
}

void TestFrmZLS740::startsOrReportsTheFailure()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    if (!bytes.isEmpty())
        QVERIFY(writeFile(path, bytes));
    QImage picture, copied;  // what the window shows and Ctrl+C copies, if it shows; then Close, which asks nothing
    QString format;
    QObject context;  // the call goes with it, so it cannot come in a later test
    QTimer::singleShot(0, &context, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<FrmZLS740*>(w); form && form->isVisible()) {
                picture = form->findChild<TwistedPixel*>(QStringLiteral("tpBMP"))->imagePicture();
                format = QStringLiteral("%1 %2").arg(form->fileTypeCode()).arg(form->fileExtension());
                QGuiApplication::clipboard()->setText(QStringLiteral("older"));
                QVERIFY(QTest::qWaitForWindowActive(form));
                QTest::keyClick(form, Qt::Key_C, Qt::ControlModifier);
                copied = QGuiApplication::clipboard()->image();
                QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("cmdClose")), Qt::LeftButton);
            }
    });
    MessageBoxWatcher watcher;
    QStringList reports;
    const int exitCode = Pictorix::run(*qApp, dir.path(), [&](const QString& text) { reports << text; });
    QVERIFY(watcher.seen.empty());
    if (!bytes.isEmpty())  // the tool never touches the snapshot
        QCOMPARE(readFile(path), bytes);
    if (report.isEmpty()) {
        QCOMPARE(exitCode, 0);
        QCOMPARE(reports, QStringList());
        QCOMPARE(picture, snapshot(4));
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(format, QStringLiteral("11 jpg"));
        return;
    }
    QVERIFY(exitCode != 0 && format.isEmpty());  // the window never showed
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(report) && reports[0].contains(path), qPrintable(reports[0]));
}

QTEST_MAIN(TestFrmZLS740)
#include "tst_FrmZLS740.moc"
