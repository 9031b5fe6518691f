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

QByteArray lpstat(const QStringList &args)
{
    bool ok = false;
    return run(QStringLiteral("lpstat"), args, &ok, 10000);
}

bool lpadmin(const QStringList &args, QString *error = nullptr)
{
    bool ok = false;
    run(QStringLiteral("lpadmin"), args, &ok, 30000, error);
    return ok;
}

// Where the PDF printer puts its files: the Out setting with the home folder.
QString pdfFolder()
{
    const QString conf = QString::fromLocal8Bit(readFile(QStringLiteral("/etc/cups/cups-pdf.conf")));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^\\s*Out\\s+(\\S+)\\s*$"), QRegularExpression::MultilineOption).match(conf);
    QString out = m.hasMatch() ? m.captured(1) : QStringLiteral("${HOME}/PDF");
    return out.replace(QStringLiteral("${HOME}"), QDir::homePath());
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
    const auto schedulerRunning = [] { return lpstat({QStringLiteral("-r")}).contains("scheduler is running"); };
    if (!schedulerRunning()) {
        // In the foreground, so this test owns the process and can end it.
        server_.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f")});
        QVERIFY(server_.waitForStarted(10000));
        QVERIFY2(QTest::qWaitFor(schedulerRunning, 30000), "the print server did not come up");
    }
    const QByteArray current = lpstat({QStringLiteral("-d")});
    if (current.startsWith("system default destination: "))
        previousDefault_ = QString::fromLocal8Bit(current.mid(current.indexOf(": ") + 2).trimmed());
    QString error;
    addedQueue_ = lpadmin({QStringLiteral("-p"), QueueName, QStringLiteral("-E"), QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                           QStringLiteral("-m"), QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd")},
                          &error);
    QVERIFY2(addedQueue_, qPrintable(error));
    QVERIFY2(lpadmin({QStringLiteral("-d"), QueueName}, &error), qPrintable(error));
}

void TestCupsPrint::printClickGivesOneLandscapePage()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    FrmZLS740 form; // with the system's default printer
    form.load(dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const QDir folder(pdfFolder());
    const QStringList before = folder.entryList({QStringLiteral("*.pdf")}, QDir::Files);
    MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
    QVERIFY2(watcher.seen().empty(), watcher.seen().empty() ? "" : qPrintable(watcher.seen()[0].text));

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
    QVERIFY(QTest::qWaitFor([&] { return lpstat({QStringLiteral("-o"), QueueName}).trimmed().isEmpty(); }, DeadlineMs));

    const QString info = pdfInfo(written);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    constexpr int Dpi = 50;
    const QImage page = rasterisePdf(written, Dpi);
    const QRect ink = inkBox(page);
    QVERIFY(!ink.isEmpty());
    // The queue may deliver a portrait page with the landscape content turned;
    // measure along the page's long and short sides.
    const bool portrait = page.height() > page.width();
    const double pageLong = portrait ? page.height() : page.width();
    const double pageShort = portrait ? page.width() : page.height();
    const double inkLong = portrait ? ink.height() : ink.width();
    const double inkShort = portrait ? ink.width() : ink.height();
    const double longStart = portrait ? ink.top() : ink.left();
    const double shortStart = portrait ? ink.left() : ink.top();
    const double shortEnd = pageShort - shortStart - inkShort;
    // The picture's width (0.8) along the long side, its height (0.77) across;
    // a tenth of the long side and 7 % of the short one free, shifted by the
    // printer's margin (at most a quarter inch) since the rectangle is
    // measured from the drawing area.
    const double margin = Dpi / 4.0;
    QVERIFY2(qAbs(inkLong / pageLong - 0.8) < 0.02, qPrintable(QString::number(inkLong / pageLong)));
    QVERIFY2(qAbs(inkShort / pageShort - 0.77) < 0.02, qPrintable(QString::number(inkShort / pageShort)));
    QVERIFY2(qAbs(longStart - 0.1 * pageLong) <= margin + 2, qPrintable(QString::number(longStart)));
    const double nearEdge = std::min(shortStart, shortEnd);
    QVERIFY2(nearEdge >= 0.07 * pageShort - 2 && nearEdge <= 0.07 * pageShort + margin + 2, qPrintable(QString::number(nearEdge)));
}

void TestCupsPrint::cleanupTestCase()
{
    if (addedQueue_) {
        if (!previousDefault_.isEmpty())
            lpadmin({QStringLiteral("-d"), previousDefault_});
        lpadmin({QStringLiteral("-x"), QueueName});
    }
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
        server_.waitForFinished(10000);
    }
}

QTEST_MAIN(TestCupsPrint)
#include "tst_CupsPrint.moc"
