// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <vector>

// Answers every message box that comes up while it lives, as a user would
// press OK, and notes its title and text. It polls from a timer, which runs
// inside the message box's own event loop.
struct MessageBoxWatcher {
    struct Seen {
        QString title, text;
    };
    std::vector<Seen> seen;
    QTimer timer;

    MessageBoxWatcher()
    {
        timer.callOnTimeout([this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen.push_back({box->windowTitle(), box->text()});
                box->done(QMessageBox::Ok);
            }
        });
        timer.start(20);
    }
};
