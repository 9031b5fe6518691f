// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "PrintCommand.h"

#include "RuntimeError.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace korvane::pictorix {

namespace {

constexpr double kTwipsPerPoint = 20.0;
constexpr double kTwipsPerInch = 1440.0;

RuntimeError printerError(const QString& what)
{
    return RuntimeError(RuntimeError::kPrinterError, "Printer error: " + what.toStdString());
}

}  // namespace

QRectF PrintCommand::placement(qint32 pageWidthTwips, qint32 pageHeightTwips)
{
    const double w = pageWidthTwips;
    const double h = pageHeightTwips;
    const float left = float(0.1 * w);
    const float top = float(0.07 * h);
    return QRectF(double(left), double(top), 0.8 * w, 0.77 * h);
}

QSize PrintCommand::pageSizeTwips(const QPrinter& printer)
{
    const QRectF page = printer.pageLayout().fullRect(QPageLayout::Point);
    return QSize(qRound(page.width() * kTwipsPerPoint), qRound(page.height() * kTwipsPerPoint));
}

void PrintCommand::print(QPrinter& printer, const QImage& picture)
{
    if (picture.isNull())
        throw printerError(QStringLiteral("there is no picture to print."));
    printer.setPageOrientation(QPageLayout::Landscape);
    // Without a print server a printer quietly becomes a PDF writer with no
    // file to write to, and nothing would come out.
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty())
        throw printerError(QStringLiteral("no printer is available. Set up a default printer and print again."));
    const QSize page = pageSizeTwips(printer);
    const QRectF twips = placement(page.width(), page.height());

    QPainter painter;
    if (!painter.begin(&printer))
        throw printerError(QStringLiteral("the printer %1 did not accept the document.").arg(printer.printerName()));
    const double pixelsPerTwip = printer.resolution() / kTwipsPerInch;
    const QRectF target(twips.x() * pixelsPerTwip, twips.y() * pixelsPerTwip, twips.width() * pixelsPerTwip,
                        twips.height() * pixelsPerTwip);
    painter.drawImage(target, picture, QRectF(picture.rect()));
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw printerError(QStringLiteral("the printer %1 did not accept the document.").arg(printer.printerName()));
}

std::unique_ptr<QPrinter> PrintCommand::defaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw printerError(QStringLiteral("no default printer is set up. Set up a default printer and print again."));
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!printer->isValid() || printer->outputFormat() != QPrinter::NativeFormat)
        throw printerError(QStringLiteral("the default printer %1 cannot be used.").arg(info.printerName()));
    return printer;
}

}  // namespace korvane::pictorix
