// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "PrintCommand.h"
#include "RuntimeError.h"
#include "TestSupport.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

constexpr int RasterDpi = 100;

std::unique_ptr<QPrinter> pdfPrinter(const QString &file, QPageSize::PageSizeId size, double marginMm)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    printer->setPageSize(QPageSize(size));
    printer->setPageMargins(QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
    return printer;
}

} // namespace

class TestPrintCommand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void placementFollowsThePage();
    void printsOneLandscapePageWithThePictureInPlace_data();
    void printsOneLandscapePageWithThePictureInPlace();
    void everyClickPrintsItsOwnDocument();
    void missingPrinterIsReportedAndTheFormGoesOn();

private:
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

void TestPrintCommand::placementFollowsThePage()
{
    // A Letter page in landscape: 15840 x 12240 twips.
    const QRectF letter = PrintCommand::placement(15840, 12240);
    QCOMPARE(letter.x(), 1584.0);
    QCOMPARE(letter.y(), double(856.8f)); // single precision, not 856.8 itself
    QCOMPARE(letter.width(), 12672.0);
    QCOMPARE(letter.height(), 0.77 * 12240);
    // Fractions of twips are kept.
    const QRectF a4 = PrintCommand::placement(16838, 11906);
    QCOMPARE(a4.x(), double(1683.8f));
    QCOMPARE(a4.y(), double(833.42f));
    QCOMPARE(a4.width(), 0.8 * 16838);

    // The page size read after the turn to landscape.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Landscape);
    QCOMPARE(PrintCommand::pageSizeTwips(printer), QSize(15840, 12240));
}

void TestPrintCommand::printsOneLandscapePageWithThePictureInPlace_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("marginMm");
    QTest::addColumn<QSize>("pageTwips");
    QTest::addColumn<QString>("pageText");
    QTest::newRow("Letter, no margins") << int(QPageSize::Letter) << 0.0 << QSize(15840, 12240) << QStringLiteral("792 x 612 pts");
    // Margins move the drawing area, and the rectangle with it.
    QTest::newRow("A4, 10 mm margins") << int(QPageSize::A4) << 10.0 << QSize(16838, 11906) << QStringLiteral("842 x 595 pts");
}

void TestPrintCommand::printsOneLandscapePageWithThePictureInPlace()
{
    QFETCH(int, size);
    QFETCH(double, marginMm);
    QFETCH(QSize, pageTwips);
    QFETCH(QString, pageText);
    const QString pdf = dir_->filePath(QStringLiteral("page.pdf"));
    form_->setPrinterSource([&] { return pdfPrinter(pdf, QPageSize::PageSizeId(size), marginMm); });
    MessageBoxWatcher watcher;
    QTest::mouseClick(form_->findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
    QVERIFY(watcher.seen().empty());

    const QString info = pdfInfo(pdf);
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    QVERIFY2(info.contains(pageText), qPrintable(info));
    const QImage page = rasterisePdf(pdf, RasterDpi);
    const double pxPerTwip = RasterDpi / 1440.0;
    QVERIFY(qAbs(page.width() - pageTwips.width() * pxPerTwip) <= 1.0);
    QVERIFY(qAbs(page.height() - pageTwips.height() * pxPerTwip) <= 1.0);

    const double marginTwips = marginMm / 25.4 * 1440;
    const QRectF expected = PrintCommand::placement(pageTwips.width(), pageTwips.height()).translated(marginTwips, marginTwips);
    const QRect ink = inkBox(page);
    // Within 2 pixels at 100 dpi, 29 twips.
    for (const auto &[got, want] : {std::pair{ink.left(), expected.left()}, {ink.top(), expected.top()},
                                    {ink.right() + 1, expected.right()}, {ink.bottom() + 1, expected.bottom()}})
        QVERIFY2(qAbs(got - want * pxPerTwip) <= 2.0, qPrintable(QStringLiteral("%1 instead of %2").arg(got).arg(want * pxPerTwip)));
    // Stretched, not turned or mirrored: the middle of a block of the
    // picture shows that block's colour at its place. (The page's picture is
    // compressed lossily, so single pixels blur into their neighbours.)
    const auto near = [](QRgb got, QRgb want) {
        return qAbs(qRed(got) - qRed(want)) < 48 && qAbs(qGreen(got) - qGreen(want)) < 48 && qAbs(qBlue(got) - qBlue(want)) < 48;
    };
    for (const QPoint source : {QPoint(40, 32), QPoint(200, 122), QPoint(13, 227), QPoint(301, 12)}) {
        const QPoint onPage(ink.left() + qRound((source.x() + 0.5) * ink.width() / 320.0),
                            ink.top() + qRound((source.y() + 0.5) * ink.height() / 240.0));
        QVERIFY2(near(page.pixel(onPage), snapshotPalette()[snapshotIndex(0, source.x(), source.y())]),
                 qPrintable(QStringLiteral("pixel %1,%2").arg(source.x()).arg(source.y())));
    }
    // The frame of the picture stays red at all four corners.
    for (const QPoint corner : {ink.topLeft(), ink.topRight(), ink.bottomLeft(), ink.bottomRight()}) {
        const QPoint in(corner.x() + (corner.x() == ink.left() ? 1 : -1), corner.y() + (corner.y() == ink.top() ? 1 : -1));
        const QRgb got = page.pixel(in);
        QVERIFY2(qRed(got) > qGreen(got) + 64 && qRed(got) > qBlue(got) + 64, qPrintable(QString::number(got, 16)));
    }
}

void TestPrintCommand::everyClickPrintsItsOwnDocument()
{
    int documents = 0;
    form_->setPrinterSource([&] {
        return pdfPrinter(dir_->filePath(QStringLiteral("doc%1.pdf").arg(++documents)), QPageSize::Letter, 0);
    });
    auto *print = form_->findChild<QPushButton *>(QStringLiteral("cmdPrint"));
    QTest::mouseClick(print, Qt::LeftButton);
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(documents, 2);
    const QRect first = inkBox(rasterisePdf(dir_->filePath(QStringLiteral("doc1.pdf")), RasterDpi));
    const QRect second = inkBox(rasterisePdf(dir_->filePath(QStringLiteral("doc2.pdf")), RasterDpi));
    QVERIFY(!first.isEmpty());
    QCOMPARE(second, first);
    QVERIFY(pdfInfo(dir_->filePath(QStringLiteral("doc2.pdf"))).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
}

void TestPrintCommand::missingPrinterIsReportedAndTheFormGoesOn()
{
    MessageBoxWatcher watcher;
    auto *print = form_->findChild<QPushButton *>(QStringLiteral("cmdPrint"));
    // What a printer becomes without a print server: PDF output to no file.
    form_->setPrinterSource([] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        return printer;
    });
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(watcher.seen().size(), size_t(1));
    QCOMPARE(watcher.seen()[0].title, QStringLiteral("ZLS740"));
    QVERIFY2(watcher.seen()[0].text.contains(QStringLiteral("no printer")), qPrintable(watcher.seen()[0].text));

    // A file that cannot be created: the printer refuses the document.
    form_->setPrinterSource([this] { return pdfPrinter(dir_->filePath(QStringLiteral("missing/x.pdf")), QPageSize::A4, 0); });
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(watcher.seen().size(), size_t(2));
    QVERIFY2(watcher.seen()[1].text.contains(QStringLiteral("did not accept")), qPrintable(watcher.seen()[1].text));

    // No default printer at all (no print server running here).
    if (QPrinterInfo::defaultPrinter().isNull()) {
        form_->setPrinterSource(&PrintCommand::defaultPrinter);
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(watcher.seen().size(), size_t(3));
        QVERIFY2(watcher.seen()[2].text.contains(QStringLiteral("no default printer")), qPrintable(watcher.seen()[2].text));
    }

    // The form keeps working: the next click prints.
    const QString pdf = dir_->filePath(QStringLiteral("after.pdf"));
    form_->setPrinterSource([&] { return pdfPrinter(pdf, QPageSize::Letter, 0); });
    const size_t before = watcher.seen().size();
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(watcher.seen().size(), before);
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(form_->fileTypeCode(), qint16(11));
}

QTEST_MAIN(TestPrintCommand)
#include "tst_PrintCommand.moc"
