// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QWidget>

namespace korvane::pictorix {

// A picture box: receives a picture loaded from a file and keeps it exactly
// as loaded (colour table and all), drawing it at its own size.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr)
        : QWidget(parent)
    {
    }

    QImage picture() const { return picture_; }
    void setPicture(const QImage& picture)
    {
        picture_ = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

}  // namespace korvane::pictorix
