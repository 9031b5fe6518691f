// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "PrintCommand.h"
#include "TestSupport.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

class TestPrintCommand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void printsThePictureInItsRectangle_data();
    void printsThePictureInItsRectangle();
    void missingPrinterIsReported();

private:
    void clickPrint() { QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("cmdPrint")), Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FrmZLS740> form_;
};

void TestPrintCommand::init()
{
    form_.reset();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(writeFile(dir_->filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
    form_ = std::make_unique<FrmZLS740>();
    form_->load(dir_->path());
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestPrintCommand::printsThePictureInItsRectangle_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("marginMm");
    QTest::addColumn<QString>("pageText");
    QTest::newRow("Letter, no margins") << int(QPageSize::Letter) << 0.0 << QStringLiteral("792 x 612 pts");
    // Margins move the drawing area, and the rectangle with it.
    QTest::newRow("A4, 10 mm margins") << int(QPageSize::A4) << 10.0 << QStringLiteral("842 x 595 pts");
}

void TestPrintCommand::printsThePictureInItsRectangle()
{
    QFETCH(int, size);
    QFETCH(double, marginMm);
    QFETCH(QString, pageText);
    const QString pdf = dir_->filePath(QStringLiteral("page.pdf"));
    form_->setPrinterSource([&] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        printer->setPageSize(QPageSize(QPageSize::PageSizeId(size)));
        printer->setPageMargins(QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
        return printer;
    });
    MessageBoxWatcher watcher;
    clickPrint();
    QVERIFY(watcher.seen.empty());
    const QString info = QString::fromLatin1(run(QStringLiteral("pdfinfo"), {pdf}));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))) && info.contains(pageText),
             qPrintable(info));  // one landscape page

    constexpr int kDpi = 100;
    const QImage page = rasterisePdf(pdf, kDpi);
    const double margin = marginMm / 25.4 * kDpi, w = page.width(), h = page.height();
    // From the drawing area's corner: 0.1 and 0.07 of the page in, 0.8 by 0.77 of it; within 2 pixels.
    const QRect ink = inkBox(page);
    const QRectF want(margin + 0.1 * w, margin + 0.07 * h, 0.8 * w, 0.77 * h);
    for (const auto& [got, wanted] : {std::pair{ink.left(), want.left()},
                                      {ink.top(), want.top()},
                                      {ink.width(), want.width()},
                                      {ink.height(), want.height()}})
        QVERIFY2(qAbs(got - wanted) <= 2.0, qPrintable(QStringLiteral("%1 instead of %2").arg(got).arg(wanted)));
    // Not turned or mirrored: a block's middle has its colour (within the page picture's loss).
    for (const QPoint at : {QPoint(40, 32), QPoint(200, 122), QPoint(13, 227), QPoint(301, 12)}) {
        const QRgb got = page.pixel(ink.left() + qRound((at.x() + 0.5) * ink.width() / 320.0),
                                    ink.top() + qRound((at.y() + 0.5) * ink.height() / 240.0));
        const QRgb colour = snapshotPalette()[snapshotIndex(0, at.x(), at.y())];
        QVERIFY2(qMax(qAbs(qRed(got) - qRed(colour)),
                      qMax(qAbs(qGreen(got) - qGreen(colour)), qAbs(qBlue(got) - qBlue(colour))))
                     < 48,
                 qPrintable(QStringLiteral("pixel %1,%2").arg(at.x()).arg(at.y())));
    }
}

void TestPrintCommand::missingPrinterIsReported()
{
    MessageBoxWatcher watcher;
    // What a printer becomes without a print server: PDF output to no file.
    form_->setPrinterSource([] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        return printer;
    });
    clickPrint();
    // No default printer at all (no print server running here).
    const bool noDefault = QPrinterInfo::defaultPrinter().isNull();
    if (noDefault) {
        form_->setPrinterSource(&PrintCommand::defaultPrinter);
        clickPrint();
    }
    QCOMPARE(watcher.seen.size(), size_t(noDefault ? 2 : 1));
    QCOMPARE(watcher.seen[0].title, QStringLiteral("ZLS740"));
    QVERIFY2(watcher.seen[0].text.contains(QStringLiteral("no printer")), qPrintable(watcher.seen[0].text));
    if (noDefault)
        QVERIFY2(watcher.seen[1].text.contains(QStringLiteral("no default printer")), qPrintable(watcher.seen[1].text));
}

QTEST_MAIN(TestPrintCommand)
#include "tst_PrintCommand.moc"
