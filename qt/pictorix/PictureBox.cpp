// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "PictureBox.h"

#include <QPainter>

namespace korvane::pictorix {

void PictureBox::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
}

}  // namespace korvane::pictorix
