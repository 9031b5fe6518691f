// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#include "LiveView.h"

#include "Engine.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace korvane {

LiveView::LiveView(Engine& engine, QWidget* parent)
    : QWidget(parent)
    , engine_(engine)
{
    // The paint covers every pixel itself; erasing first would only make the
    // picture flicker at every screen.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    nextFrame_.setSingleShot(true);
    connect(&nextFrame_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

QString LiveView::placeholderText()
{
    return QStringLiteral("Please change the DSO into USB mode !");
}

QSize LiveView::sizeHint() const
{
    return {kScreenWidth, kScreenHeight};
}

void LiveView::requestRepaint()
{
    if (repaintPending_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Cleared first, so a screen decoded from now on asks again.
            repaintPending_.store(false);
            // A link faster than the display would only paint pictures that
            // nobody sees, at the cost of the menus' and the system's time.
            const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kPaintIntervalMs;
            if (since >= kPaintIntervalMs)
                update();
            else if (!nextFrame_.isActive())
                nextFrame_.start(int(kPaintIntervalMs - since));
        },
        Qt::QueuedConnection);
}

void LiveView::resizeEvent(QResizeEvent* event)
{
    clientWidth_ = event->size().width();
    clientHeight_ = event->size().height();
    QWidget::resizeEvent(event);
}

void LiveView::paintEvent(QPaintEvent*)
{
    sincePaint_.start();
    QPainter painter(this);
    const QRect client(0, 0, clientWidth_, clientHeight_);
    if (engine_.isConnected() == 1 && picture_.refresh(engine_.screen())) {
        ScreenPicture::draw(painter, client, picture_.image());
        return;
    }
    // No picture to show: the area is cleared to the colour of an empty
    // document area (white in most styles, not the grey of dialogs), as after
    // an erase, so that neither an old picture nor stale pixels of a resize stay.
    painter.fillRect(rect(), palette().base());
    if (engine_.isConnected() != 1) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, placeholderText());
    }
}

}  // namespace korvane
