// Korvane - the programs' pictures.
// SPDX-License-Identifier: MIT
#include "PictorixIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace korvane {

QImage PictorixIcon::render(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 64.0, side / 64.0);

    // The print: white paper with a soft edge, its top right corner turned.
    QPainterPath paper;
    paper.moveTo(4, 8);
    paper.lineTo(48, 8);
    paper.lineTo(60, 20);
    paper.lineTo(60, 56);
    paper.lineTo(4, 56);
    paper.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 80), 1.5));
    p.setBrush(QColor(250, 250, 246));
    p.drawPath(paper);
    QPainterPath fold;
    fold.moveTo(48, 8);
    fold.lineTo(48, 20);
    fold.lineTo(60, 20);
    fold.closeSubpath();
    p.setBrush(QColor(200, 204, 212));
    p.drawPath(fold);

    // The screen on the print: dark blue with a dotted grid.
    const QRectF screen(9, 22, 46, 29);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(12, 24, 58));
    p.drawRect(screen);
    p.setPen(QPen(QColor(60, 80, 130), 0.6, Qt::DotLine));
    for (int i = 1; i < 4; ++i)
        p.drawLine(QPointF(screen.left() + i * screen.width() / 4, screen.top()),
                   QPointF(screen.left() + i * screen.width() / 4, screen.bottom()));
    p.drawLine(QPointF(screen.left(), screen.center().y()), QPointF(screen.right(), screen.center().y()));

    // A damped wave in yellow, the first channel's colour.
    QPainterPath wave;
    for (int i = 0; i <= 46; ++i) {
        const double x = screen.left() + i;
        const double y = screen.center().y() - 11 * std::exp(-i / 30.0) * std::sin(i / 3.2);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(255, 214, 40), side <= 24 ? 3.0 : 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);

    // A red dot in the top left corner: the camera's mark on the print.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 50, 40));
    p.drawEllipse(QPointF(11, 14), 3.2, 3.2);
    return image;
}

QIcon PictorixIcon::icon()
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(render(side)));
    return icon;
}

}  // namespace korvane
