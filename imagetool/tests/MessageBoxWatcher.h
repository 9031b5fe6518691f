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
// press OK, and notes its title and text. It polls from a timer, which runs
// inside the message box's own event loop.
class MessageBoxWatcher : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
    };

    MessageBoxWatcher()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen_.push_back({box->windowTitle(), box->text()});
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start(20);
    }

    const std::vector<Seen> &seen() const { return seen_; }

private:
    QTimer timer_;
    std::vector<Seen> seen_;
};
