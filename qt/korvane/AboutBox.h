// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvane {

// "About": the program's name and version beside its picture. Closes with
// OK or Enter (accepted), Esc or the close box (rejected).
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* owner);

    QPushButton* okButton() const { return okButton_; }
    QLabel* picture() const { return picture_; }

    // The box's place: 44 x 34 pixels right of and below the owner's
    // client-area corner.
    static QPoint offsetFromOwner();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* okButton_;
    QLabel* picture_;
};

}  // namespace korvane
