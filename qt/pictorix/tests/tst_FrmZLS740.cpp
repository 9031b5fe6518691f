// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "Pictorix.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QClipboard>
#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

class TestFrmZLS740 : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(writeFile(dir_.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(4)));
        form_ = std::make_unique<FrmZLS740>();
        form_->load(dir_.path());
    }
    void startsWithTheSnapshotInTheControlAndJpgChosen();
    void ctrlCCopiesThePicture();
    void aFailedStartIsReportedAndNoWindowShows_data();
    void aFailedStartIsReportedAndNoWindowShows();

private:
    QTemporaryDir dir_;
    std::unique_ptr<FrmZLS740> form_;
};

void TestFrmZLS740::startsWithTheSnapshotInTheControlAndJpgChosen()
{
    QCOMPARE(form_->findChild<TwistedPixel*>(QStringLiteral("tpBMP"))->imagePicture(), snapshot(4));
    QCOMPARE(form_->fileTypeCode(), 11);
    QCOMPARE(form_->fileExtension(), QStringLiteral("jpg"));
}

void TestFrmZLS740::ctrlCCopiesThePicture()
{
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QGuiApplication::clipboard()->setText(QStringLiteral("older"));
    QTest::keyClick(form_.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             snapshot(4).convertToFormat(QImage::Format_RGB32));
}

void TestFrmZLS740::aFailedStartIsReportedAndNoWindowShows_data()
{
    QTest::addColumn<QByteArray>("bytes");  // of Temp.bmp; none when empty
    QTest::addColumn<QString>("report");
    QTest::newRow("no snapshot") << QByteArray() << QStringLiteral("Run-time error '53':\n\nFile not found: %1");
    QTest::newRow("not a picture") << QByteArray(38518, 'x')
                                   << QStringLiteral("Run-time error '481':\n\nInvalid picture: %1 (");
}

void TestFrmZLS740::aFailedStartIsReportedAndNoWindowShows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Temp.bmp"));
    QVERIFY(bytes.isEmpty() || writeFile(path, bytes));
    bool shown = false;
    QObject context;  // the call goes with it; it comes only if the tool waits for the user
    QTimer::singleShot(0, &context, [&] {
        shown = true;
        qApp->closeAllWindows();
    });
    MessageBoxWatcher watcher;
    QStringList reports;
    QVERIFY(Pictorix::run(*qApp, dir.path(), [&](const QString& text) { reports << text; }) != 0);
    QVERIFY(!shown && watcher.seen.empty());  // the report alone
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(report.arg(path)), qPrintable(reports[0]));
}

QTEST_MAIN(TestFrmZLS740)
#include "tst_FrmZLS740.moc"
