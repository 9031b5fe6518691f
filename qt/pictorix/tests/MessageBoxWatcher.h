// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <vector>

// Presses OK on every message box that comes up while it lives (polling inside the box's own
// event loop), noting its title and text.
struct MessageBoxWatcher {
    struct Seen {
        QString title, text;
    };
    std::vector<Seen> seen;
    QTimer timer;

    MessageBoxWatcher()
    {
        timer.callOnTimeout([this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen.push_back({box->windowTitle(), box->text()});
                box->done(QMessageBox::Ok);
            }
        });
        timer.start(20);
    }
};
