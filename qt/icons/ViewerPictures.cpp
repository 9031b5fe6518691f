// Korvane - the programs' pictures.
// SPDX-License-Identifier: MIT
#include "ViewerPictures.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <numbers>

namespace korvane {

namespace {

// The pictures' 16 colours. Index 0 is transparent in the icon; the About
// picture has no transparent pixel and uses the other fifteen.
enum Ink : int {
    Clear,
    Black,
    White,
    CaseDark,
    CaseMid,
    CaseLight,
    ScreenDark,
    Grid,
    TraceYellow,
    TraceCyan,
    KnobRed,
    KnobBlue,
    Desk,
    Sky,
    Cable,
    ProbeTip,
};

constexpr QRgb kInks[16] = {
    qRgba(0, 0, 0, 0),    // Clear
    qRgb(0, 0, 0),        // Black
    qRgb(255, 255, 255),  // White
    qRgb(52, 58, 66),     // CaseDark
    qRgb(104, 112, 122),  // CaseMid
    qRgb(178, 186, 196),  // CaseLight
    qRgb(10, 34, 24),     // ScreenDark
    qRgb(40, 92, 62),     // Grid
    qRgb(244, 226, 64),   // TraceYellow
    qRgb(64, 214, 240),   // TraceCyan
    qRgb(206, 60, 50),    // KnobRed
    qRgb(50, 100, 200),   // KnobBlue
    qRgb(150, 110, 70),   // Desk
    qRgb(226, 236, 246),  // Sky
    qRgb(30, 30, 36),     // Cable
    qRgb(230, 140, 40),   // ProbeTip
};

QColor ink(Ink i)
{
    return QColor::fromRgba(kInks[i]);
}

// One period and a half of a sine across `screen`, kept inside it.
QPolygonF sineTrace(const QRectF& screen, double cycles, double phase)
{
    QPolygonF trace;
    const int steps = std::max(8, int(screen.width()));
    const double middle = screen.center().y();
    const double swing = screen.height() * 0.32;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        trace << QPointF(screen.left() + t * screen.width(),
                         middle - swing * std::sin(phase + t * cycles * 2 * std::numbers::pi));
    }
    return trace;
}

// A square wave in the lower part of `screen`.
QPolygonF squareTrace(const QRectF& screen, int periods)
{
    QPolygonF trace;
    const double high = screen.top() + screen.height() * 0.68;
    const double low = screen.top() + screen.height() * 0.86;
    const double step = screen.width() / (2 * periods);
    double x = screen.left();
    for (int i = 0; i < 2 * periods; ++i) {
        const double y = (i % 2 == 0) ? high : low;
        trace << QPointF(x, y) << QPointF(x + step, y);
        x += step;
    }
    return trace;
}

// The instrument's screen: dark, with a dotted grid and the traces.
void drawScreen(QPainter& p, const QRectF& screen, double line, bool twoTraces)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink(ScreenDark));
    p.drawRect(screen);

    const int columns = 8;
    const int rows = 6;
    p.setPen(QPen(ink(Grid), 1));
    for (int c = 1; c < columns; ++c) {
        const double x = screen.left() + screen.width() * c / columns;
        for (int r = 1; r < rows; ++r)
            p.drawPoint(QPointF(x, screen.top() + screen.height() * r / rows));
    }
    const QRectF inner = screen.adjusted(line, line, -line, -line);
    if (twoTraces) {
        p.setPen(QPen(ink(TraceCyan), line, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawPolyline(squareTrace(inner, 3));
    }
    const QRectF sineArea = twoTraces ? inner.adjusted(0, 0, 0, -inner.height() * 0.3) : inner;
    p.setPen(QPen(ink(TraceYellow), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(sineTrace(sineArea, 1.5, 0.0));
}

// The instrument seen from the front in `body`: case, screen at the left,
// a panel of knobs at the right, a probe socket below the knobs.
void drawInstrument(QPainter& p, const QRectF& body, bool detailed)
{
    const double u = body.width() / 30.0;  // one unit of the 32-pixel design
    const double line = std::max(1.0, std::round(u));

    p.setPen(QPen(ink(CaseDark), line));
    p.setBrush(ink(CaseMid));
    p.drawRect(body.adjusted(line / 2, line / 2, -line / 2, -line / 2));

    const QRectF bezel(body.left() + 2 * u, body.top() + 2 * u, 19 * u, body.height() - 4 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(ink(CaseDark));
    p.drawRect(bezel);
    drawScreen(p, bezel.adjusted(u, u, -u, -u), line, detailed);

    // Knobs: a large red one and a smaller blue one, with a light rim.
    const double panelX = body.left() + 23 * u;
    const double panelW = body.right() - 2 * u - panelX;
    p.setPen(QPen(ink(CaseLight), line));
    p.setBrush(ink(KnobRed));
    const double big = panelW;
    p.drawEllipse(QRectF(panelX, body.top() + 3 * u, big, big));
    p.setBrush(ink(KnobBlue));
    const double small = panelW * 0.7;
    p.drawEllipse(QRectF(panelX + (panelW - small) / 2, body.top() + 5 * u + big, small, small));

    if (detailed) {
        // A row of buttons under the knobs.
        p.setPen(Qt::NoPen);
        p.setBrush(ink(CaseLight));
        const double button = panelW / 3;
        for (int i = 0; i < 2; ++i)
            p.drawRect(QRectF(panelX + i * 2 * button, body.top() + 7 * u + big + small, button, button));
    }

    // The probe socket.
    p.setPen(QPen(ink(CaseDark), line));
    p.setBrush(ink(CaseLight));
    const double socket = panelW * 0.6;
    p.drawEllipse(QRectF(panelX + (panelW - socket) / 2, body.bottom() - 3 * u - socket, socket, socket));
}

// The probe: a cable from the instrument's socket down to an orange tip.
void drawProbe(QPainter& p, const QPointF& socket, const QPointF& tip, double line)
{
    QPainterPath cable(socket);
    cable.cubicTo(socket + QPointF(0, (tip.y() - socket.y()) * 0.9), tip + QPointF((socket.x() - tip.x()) * 0.8, 0),
                  tip);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink(Cable), line, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
    p.setPen(QPen(ink(ProbeTip), line * 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(tip, tip + QPointF(line * 3, 0));
    p.setPen(QPen(ink(White), line, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(tip + QPointF(line * 3, 0), tip + QPointF(line * 5, 0));
}

// Maps every pixel to the index of its ink; all drawing above is aliased,
// so no pixel carries a colour outside the table.
QImage toIndexed(const QImage& drawn)
{
    QHash<QRgb, int> index;
    for (int i = 0; i < 16; ++i)
        index.insert(kInks[i], i);
    QImage out(drawn.size(), QImage::Format_Indexed8);
    out.setColorTable(QList<QRgb>(std::begin(kInks), std::end(kInks)));
    for (int y = 0; y < drawn.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        uchar* row = out.scanLine(y);
        for (int x = 0; x < drawn.width(); ++x)
            row[x] = uchar(index.value(in[x], Clear));
    }
    return out;
}

QImage canvas(int width, int height, Ink background)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(kInks[background]);
    return image;
}

}  // namespace

QImage ViewerPictures::iconImage(int size)
{
    QImage image = canvas(size, size, Clear);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        const double u = size / 32.0;
        const bool detailed = size >= kLargeIcon;
        const QRectF body(std::round(u), std::round(4 * u), std::round(30 * u), std::round(22 * u));
        // Feet under the case.
        p.setPen(Qt::NoPen);
        p.setBrush(ink(CaseDark));
        p.drawRect(QRectF(body.left() + 3 * u, body.bottom(), 4 * u, 2 * u));
        p.drawRect(QRectF(body.right() - 7 * u, body.bottom(), 4 * u, 2 * u));
        drawInstrument(p, body, detailed);
        if (detailed) {
            const double line = std::round(u);
            const double panelX = body.left() + 23 * u;
            const double panelW = body.right() - 2 * u - panelX;
            const QPointF socket(panelX + panelW / 2, body.bottom() - 3 * u);
            drawProbe(p, socket, QPointF(2 * u, size - 2 * u), line);
        }
    }
    return toIndexed(image);
}

QIcon ViewerPictures::programIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(iconImage(kSmallIcon)));
    icon.addPixmap(QPixmap::fromImage(iconImage(kLargeIcon)));
    return icon;
}

QImage ViewerPictures::aboutPicture()
{
    QImage image = canvas(240, 120, Sky);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        // The desk both machines stand on.
        p.setPen(Qt::NoPen);
        p.setBrush(ink(Desk));
        p.drawRect(QRect(0, 100, 240, 20));

        // The instrument, with its probe hanging over the desk's edge.
        const QRectF body(10, 30, 120, 66);
        p.setBrush(ink(CaseDark));
        p.drawRect(QRectF(20, 96, 14, 4));
        p.drawRect(QRectF(106, 96, 14, 4));
        drawInstrument(p, body, true);
        const double u = body.width() / 30.0;
        const double panelX = body.left() + 23 * u;
        const double panelW = body.right() - 2 * u - panelX;
        drawProbe(p, QPointF(panelX + panelW / 2, body.bottom() - 3 * u), QPointF(4, 112), 2);

        // The computer's monitor showing the same picture.
        const QRectF monitor(150, 14, 82, 62);
        p.setPen(QPen(ink(CaseDark), 2));
        p.setBrush(ink(CaseLight));
        p.drawRect(monitor);
        drawScreen(p, monitor.adjusted(6, 6, -6, -6), 2, true);
        p.setPen(Qt::NoPen);
        p.setBrush(ink(CaseMid));
        p.drawRect(QRectF(184, 77, 14, 13));
        p.drawRect(QRectF(170, 90, 42, 6));
        p.setBrush(ink(CaseDark));
        p.drawRect(QRectF(170, 96, 42, 4));

        // The link: a cable from the instrument's side to the computer.
        QPainterPath link(QPointF(body.right(), 44));
        link.cubicTo(QPointF(144, 44), QPointF(140, 108), QPointF(190, 108));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink(Cable), 2, Qt::SolidLine, Qt::FlatCap));
        p.drawPath(link);
        p.setPen(QPen(ink(Black), 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(190, 108), QPointF(191, 100));

        // A little sun: the pictures are friendly.
        p.setPen(Qt::NoPen);
        p.setBrush(ink(TraceYellow));
        p.drawEllipse(QRectF(8, 4, 16, 16));
        p.setBrush(ink(White));
        p.drawEllipse(QRectF(40, 8, 26, 10));
        p.drawEllipse(QRectF(52, 4, 22, 12));
    }
    return toIndexed(image);
}

}  // namespace korvane
