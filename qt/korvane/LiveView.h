// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenPicture.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <atomic>

namespace korvane {

class Engine;

// The client area of the main window: the instrument's latest screen while
// the link is up, stretched over the whole area and turned upright;
// otherwise a one-line hint in its middle.
class LiveView : public QWidget {
    Q_OBJECT
public:
    explicit LiveView(Engine& engine, QWidget* parent = nullptr);

    static QString placeholderText();

    // Any thread; returns at once. Asks for one repaint on the window thread.
    // However many calls come while one is on its way, only that one is
    // queued, so a fast link cannot flood the event queue; and repaints come
    // at most once a display frame, each showing the latest screen.
    void requestRepaint();

    // The shortest time between two repaints that screens ask for, in ms.
    static constexpr int kPaintIntervalMs = 15;

    // The size recorded by the last resize (0x0 before the first).
    QSize clientSize() const { return {clientWidth_, clientHeight_}; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Engine& engine_;
    ScreenPicture picture_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    std::atomic<bool> repaintPending_{false};
    QElapsedTimer sincePaint_;
    QTimer nextFrame_;
};

}  // namespace korvane
