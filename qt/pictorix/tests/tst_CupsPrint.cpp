// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
//
// Print through a real queue: a PDF printer made the default (server started unless one runs); undone at the end.
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

namespace {

const QString kQueueName = QStringLiteral("PictorixTestPdf");
constexpr int kDeadlineMs = 90000;

bool lpadmin(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("lpadmin"), args) == 0;
}

}  // namespace

class TestCupsPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void printClickGivesOneLandscapePage();
    void cleanupTestCase();

private:
    QProcess server_;
    bool addedQueue_ = false;
    QString previousDefault_;
};

void TestCupsPrint::initTestCase()
{
    const auto schedulerRunning = [] {
        return run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).contains("scheduler is running");
    };
    if (!schedulerRunning()) {
        // In the foreground, so this test owns the process and can end it.
        server_.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f")});
        QVERIFY(server_.waitForStarted(10000));
        QVERIFY2(QTest::qWaitFor(schedulerRunning, 30000), "the print server did not come up");
    }
    const QByteArray current = run(QStringLiteral("lpstat"), {QStringLiteral("-d")});
    if (current.startsWith("system default destination: "))
        previousDefault_ = QString::fromLocal8Bit(current.mid(current.indexOf(": ") + 2).trimmed());
    addedQueue_ = lpadmin({QStringLiteral("-p"), kQueueName, QStringLiteral("-E"), QStringLiteral("-v"),
                           QStringLiteral("cups-pdf:/"), QStringLiteral("-m"),
                           QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd")});
    QVERIFY(addedQueue_);
    QVERIFY(lpadmin({QStringLiteral("-d"), kQueueName}));
}

void TestCupsPrint::printClickGivesOneLandscapePage()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    FrmZLS740 form;  // with the system's default printer
    form.load(dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const QDir folder(QDir::homePath() + QStringLiteral("/PDF"));  // the PDF printer's Out setting as installed
    const QStringList before = folder.entryList({QStringLiteral("*.pdf")}, QDir::Files);
    MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("cmdPrint")), Qt::LeftButton);
    QVERIFY2(watcher.seen.empty(), watcher.seen.empty() ? "" : qPrintable(watcher.seen[0].text));

    QString written;
    const auto newPdf = [&] {
        for (const QString& name : folder.entryList({QStringLiteral("*.pdf")}, QDir::Files))
            if (!before.contains(name))
                written = folder.filePath(name);
        return !written.isEmpty();
    };
    QVERIFY2(QTest::qWaitFor(newPdf, kDeadlineMs),
             qPrintable(QStringLiteral("no PDF appeared in %1").arg(folder.path())));
    const auto removeWritten = qScopeGuard([&] { QFile::remove(written); });
    // The file is complete once the queue holds no job any more.
    const auto queueEmpty = [] {
        return run(QStringLiteral("lpstat"), {QStringLiteral("-o"), kQueueName}).trimmed().isEmpty();
    };
    QVERIFY(QTest::qWaitFor(queueEmpty, kDeadlineMs));

    const QString info = QString::fromLatin1(run(QStringLiteral("pdfinfo"), {written}));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    // Turned on a portrait page: 0.8 of the long side, 0.77 of the short one.
    const QImage page = rasterisePdf(written, 50);
    const QSize ink = inkBox(page).size(), box = page.height() > page.width() ? ink.transposed() : ink;
    const QSizeF side = page.height() > page.width() ? page.size().transposed() : page.size();
    QVERIFY2(
        qAbs(box.width() / side.width() - 0.8) < 0.02 && qAbs(box.height() / side.height() - 0.77) < 0.02,
        qPrintable(
            QStringLiteral("%1x%2 on %3x%4").arg(box.width()).arg(box.height()).arg(side.width()).arg(side.height())));
}

void TestCupsPrint::cleanupTestCase()
{
    if (addedQueue_) {
        if (!previousDefault_.isEmpty())
            lpadmin({QStringLiteral("-d"), previousDefault_});
        lpadmin({QStringLiteral("-x"), kQueueName});
    }
    server_.terminate();  // and killed with the test should it linger
    server_.waitForFinished(30000);
}

QTEST_MAIN(TestCupsPrint)
#include "tst_CupsPrint.moc"
