// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#include "AboutBox.h"

#include "Version.h"
#include "ViewerPictures.h"

#include <QLabel>
#include <QPushButton>

namespace korvane {

namespace {

// The box is laid out in dialog units of its 8-point system font, two
// pixels each way.
constexpr int kUnit = 2;

QRect units(int x, int y, int width, int height)
{
    return {x * kUnit, y * kUnit, width * kUnit, height * kUnit};
}

QLabel* textLine(const QString& text, const QRect& place, QWidget* parent)
{
    auto* line = new QLabel(parent);
    // Shown as written: an ampersand is a character here, not a mnemonic.
    line->setTextFormat(Qt::PlainText);
    line->setText(text);
    line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    line->setGeometry(place);
    return line;
}

}  // namespace

AboutBox::AboutBox(QWidget* owner)
    : QDialog(owner)
{
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setFixedSize(units(0, 0, 236, 74).size());

    textLine(QStringLiteral("Korvane V" KORVANE_VERSION_SHORT), units(137, 5, 59, 8), this);
    // The second line may run past its nominal 63 units up to the box's edge.
    textLine(QStringLiteral("ZLS740 live screen"), units(137, 17, 95, 8), this);

    picture_ = new QLabel(this);
    const QImage art = ViewerPictures::aboutPicture();
    picture_->setPixmap(QPixmap::fromImage(art));
    picture_->setGeometry(QRect(units(8, 4, 0, 0).topLeft(), art.size()));

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setGeometry(units(196, 28, 30, 11));
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    okButton_->setFocusPolicy(Qt::StrongFocus);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

QPoint AboutBox::offsetFromOwner()
{
    return units(22, 17, 0, 0).topLeft();
}

void AboutBox::showEvent(QShowEvent* event)
{
    if (QWidget* owner = parentWidget()) {
        const QWidget* client = owner;
        if (QWidget* central = owner->findChild<QWidget*>(QStringLiteral("liveView")))
            client = central;
        move(client->mapToGlobal(offsetFromOwner()));
    }
    QDialog::showEvent(event);
    okButton_->setFocus();
}

}  // namespace korvane
