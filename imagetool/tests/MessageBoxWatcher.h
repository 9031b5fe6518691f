// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

// Answers every message box that comes up while it lives, as a user would
// press OK, and notes what each one said. It polls from a timer, which runs
// inside the message box's own event loop.
class MessageBoxWatcher : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxWatcher()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(20);
    }

    const std::vector<Seen> &seen() const { return seen_; }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        box->done(QMessageBox::Ok);
    }

    QTimer timer_;
    std::vector<Seen> seen_;
};
