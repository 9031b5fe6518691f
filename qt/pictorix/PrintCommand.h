// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRectF>

#include <memory>

class QPrinter;

namespace korvane::pictorix {

// The Print command: one landscape page with the picture stretched into a
// fixed rectangle given as fractions of the page, no dialog.
class PrintCommand {
public:
    // The picture's rectangle in twips for a page of width W and height H in
    // twips (the page turned to landscape): left 0.1 W, top 0.07 H, width
    // 0.8 W, height 0.77 H. Left and top are rounded to single precision,
    // width and height stay in double precision, nothing to whole twips.
    static QRectF placement(qint32 pageWidthTwips, qint32 pageHeightTwips);

    // The page of printer turned to landscape, in twips.
    static QSize pageSizeTwips(const QPrinter& printer);

    // Turns the page to landscape and prints the picture on one page, in the
    // rectangle measured from the top left corner of the printer's drawing
    // area. Throws RuntimeError 482 when the printer refuses the document.
    static void print(QPrinter& printer, const QImage& picture);

    // The system's default printer, ready for print(). Throws RuntimeError
    // 482 when there is no default printer to print on.
    static std::unique_ptr<QPrinter> defaultPrinter();
};

}  // namespace korvane::pictorix
