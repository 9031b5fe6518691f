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
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

const QString QueueName = QStringLiteral("PictorixTestPdf");
constexpr int DeadlineMs = 90000;
constexpr int RasterDpi = 50;

bool schedulerRunning()
{
    bool ok = false;
    const QByteArray out = run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &ok, 10000);
    return out.contains("scheduler is running");
}

// Where the PDF printer puts its files: the Out setting with the home folder.
QString pdfFolder()
{
    QString out = QStringLiteral("${HOME}/PDF");
    const QString conf = QString::fromLocal8Bit(readFile(QStringLiteral("/etc/cups/cups-pdf.conf")));
    const QRegularExpression line(QStringLiteral("^\\s*Out\\s+(\\S+)\\s*$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(conf);
    if (m.hasMatch())
        out = m.captured(1);
    return out.replace(QStringLiteral("${HOME}"), QDir::homePath());
}

QStringList pdfFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
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
    bool startedServer_ = false;
    bool addedQueue_ = false;
    QString previousDefault_;
};

void TestCupsPrint::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral("/usr/sbin/cupsd")), "the print server is not installed");
    QVERIFY2(QFile::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")), "the PDF printer is not installed");
    if (!schedulerRunning()) {
        // In the foreground, so this test owns the process and can end it.
        server_.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f")});
        QVERIFY(server_.waitForStarted(10000));
        startedServer_ = true;
        QVERIFY2(QTest::qWaitFor(schedulerRunning, 30000), "the print server did not come up");
    }
    bool ok = false;
    const QByteArray current = run(QStringLiteral("lpstat"), {QStringLiteral("-d")}, &ok, 10000);
    const qsizetype colon = current.indexOf(": ");
    if (current.startsWith("system default destination") && colon > 0)
        previousDefault_ = QString::fromLocal8Bit(current.mid(colon + 2).trimmed());
    QString error;
    run(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QueueName, QStringLiteral("-E"), QStringLiteral("-v"),
                                    QStringLiteral("cups-pdf:/"), QStringLiteral("-m"),
                                    QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd")},
        &ok, 30000, &error);
    QVERIFY2(ok, qPrintable(error));
    addedQueue_ = true;
    run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), QueueName}, &ok, 30000, &error);
    QVERIFY2(ok, qPrintable(error));
}

void TestCupsPrint::printClickGivesOneLandscapePage()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    FrmZLS740 form; // with the system's default printer
    form.load(dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const QString folder = pdfFolder();
    const QStringList before = pdfFiles(folder);
    MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
    QVERIFY2(watcher.seen().empty(), watcher.seen().empty() ? "" : qPrintable(watcher.seen()[0].text));

    QString written;
    QVERIFY2(QTest::qWaitFor([&] {
                 for (const QString &name : pdfFiles(folder))
                     if (!before.contains(name))
                         written = QDir(folder).filePath(name);
                 return !written.isEmpty();
             }, DeadlineMs),
             qPrintable(QStringLiteral("no PDF appeared in %1").arg(folder)));
    // The file is complete once the queue holds no job any more.
    bool ok = false;
    QVERIFY(QTest::qWaitFor([&] { return run(QStringLiteral("lpstat"), {QStringLiteral("-o"), QueueName}, &ok, 10000).trimmed().isEmpty(); },
                            DeadlineMs));
    const auto removeWritten = qScopeGuard([&] { QFile::remove(written); });

    const QString info = pdfInfo(written);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    const QImage page = rasterisePdf(written, RasterDpi);
    QVERIFY(!page.isNull());
    const QRect ink = inkBox(page);
    QVERIFY(!ink.isEmpty());

    // The queue may deliver a portrait page with the landscape content turned.
    const bool portraitPage = page.height() > page.width();
    const double pageLong = std::max(page.width(), page.height());
    const double pageShort = std::min(page.width(), page.height());
    const double inkLong = portraitPage ? ink.height() : ink.width();
    const double inkShort = portraitPage ? ink.width() : ink.height();
    // Landscape content: the picture's width (0.8 of the long side) runs
    // along the page's long side, its height (0.77 of the short side) across.
    QVERIFY2(qAbs(inkLong / pageLong - 0.8) < 0.02, qPrintable(QString::number(inkLong / pageLong)));
    QVERIFY2(qAbs(inkShort / pageShort - 0.77) < 0.02, qPrintable(QString::number(inkShort / pageShort)));
    // A tenth of the long side free at both ends, shifted by the printer's
    // margin (at most a quarter inch here) since the rectangle is measured
    // from the drawing area; 7 % plus the margin on the near edge of the
    // short side.
    const double margin = RasterDpi / 4.0;
    const double longStart = portraitPage ? ink.top() : ink.left();
    const double longEnd = pageLong - (portraitPage ? ink.bottom() + 1 : ink.right() + 1);
    const double shortStart = portraitPage ? ink.left() : ink.top();
    const double shortEnd = pageShort - (portraitPage ? ink.right() + 1 : ink.bottom() + 1);
    QVERIFY2(qAbs(longStart - 0.1 * pageLong) <= margin + 2, qPrintable(QString::number(longStart)));
    QVERIFY2(qAbs(longStart + longEnd - 0.2 * pageLong) <= 3, qPrintable(QString::number(longEnd)));
    const double nearEdge = std::min(shortStart, shortEnd);
    QVERIFY2(nearEdge >= 0.07 * pageShort - 2 && nearEdge <= 0.07 * pageShort + margin + 2, qPrintable(QString::number(nearEdge)));
}

void TestCupsPrint::cleanupTestCase()
{
    bool ok = false;
    if (addedQueue_) {
        if (!previousDefault_.isEmpty())
            run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), previousDefault_}, &ok, 30000);
        run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QueueName}, &ok, 30000);
    }
    if (startedServer_) {
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
        server_.waitForFinished(10000);
    }
}

QTEST_MAIN(TestCupsPrint)
#include "tst_CupsPrint.moc"
