// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
//
// Prints through a real print queue: starts the print server unless one runs,
// adds a PDF printer as the default, clicks Print on the form, and looks at
// the page that the queue wrote. Everything set up here is undone at the end.
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

const QString QueueName = QStringLiteral("PictorixTestPdf");
constexpr int DeadlineMs = 90000;

// Its complaints go to the test's log.
bool lpadmin(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("lpadmin"), args) == 0;
}

} // namespace

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
    QVERIFY2(QFile::exists(QStringLiteral("/usr/sbin/cupsd")), "the print server is not installed");
    QVERIFY2(QFile::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")), "the PDF printer is not installed");
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
    addedQueue_ = lpadmin({QStringLiteral("-p"), QueueName, QStringLiteral("-E"), QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                           QStringLiteral("-m"), QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd")});
    QVERIFY(addedQueue_);
    QVERIFY(lpadmin({QStringLiteral("-d"), QueueName}));
}

void TestCupsPrint::printClickGivesOneLandscapePage()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    FrmZLS740 form; // with the system's default printer
    form.load(dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const QDir folder(QDir::homePath() + QStringLiteral("/PDF")); // the PDF printer's Out setting as installed
    const QStringList before = folder.entryList({QStringLiteral("*.pdf")}, QDir::Files);
    MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
    QVERIFY2(watcher.seen.empty(), watcher.seen.empty() ? "" : qPrintable(watcher.seen[0].text));

    QString written;
    const auto newPdf = [&] {
        for (const QString &name : folder.entryList({QStringLiteral("*.pdf")}, QDir::Files))
            if (!before.contains(name))
                written = folder.filePath(name);
        return !written.isEmpty();
    };
    QVERIFY2(QTest::qWaitFor(newPdf, DeadlineMs), qPrintable(QStringLiteral("no PDF appeared in %1").arg(folder.path())));
    const auto removeWritten = qScopeGuard([&] { QFile::remove(written); });
    // The file is complete once the queue holds no job any more.
    const auto queueEmpty = [] { return run(QStringLiteral("lpstat"), {QStringLiteral("-o"), QueueName}).trimmed().isEmpty(); };
    QVERIFY(QTest::qWaitFor(queueEmpty, DeadlineMs));

    const QString info = pdfInfo(written);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    const QImage page = rasterisePdf(written, 50);
    // A portrait page holds the landscape picture turned: measure along the long side (x) and the short one (y).
    const bool turned = page.height() > page.width();
    const QSizeF side = turned ? page.size().transposed() : page.size();
    const QRect ink = inkBox(page), box = turned ? QRect(ink.y(), ink.x(), ink.height(), ink.width()) : ink;
    const QString got = QStringLiteral("%1,%2 %3x%4 on %5x%6").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())
                            .arg(side.width()).arg(side.height());
    QVERIFY2(qAbs(box.width() / side.width() - 0.8) < 0.02 && qAbs(box.height() / side.height() - 0.77) < 0.02, qPrintable(got));
    // A tenth of the long side and 7 % of the short one free, give or take the
    // printer's margin (at most a quarter inch, 12.5 pixels).
    const QRectF want(0.1 * side.width(), 0.07 * side.height(), 0.8 * side.width(), 0.77 * side.height());
    QVERIFY2(want.adjusted(-14.5, -14.5, 14.5, 14.5).contains(box), qPrintable(got));
}

void TestCupsPrint::cleanupTestCase()
{
    if (addedQueue_) {
        if (!previousDefault_.isEmpty())
            lpadmin({QStringLiteral("-d"), previousDefault_});
        lpadmin({QStringLiteral("-x"), QueueName});
    }
    server_.terminate(); // and killed with the test should it linger
    server_.waitForFinished(30000);
}

QTEST_MAIN(TestCupsPrint)
#include "tst_CupsPrint.moc"
