// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include "Version.h"

#include <QString>

#include <functional>

class QApplication;

namespace korvane::pictorix {

// The image tool as a program: its title, version and icon, and the start-up
// that loads the snapshot, shows the form and reports an error that start-up
// did not survive.
class Pictorix {
public:
    static inline const QString kTitle = QStringLiteral("ZLS740");
    static inline const QString kVersion = QStringLiteral(KORVANE_VERSION_SHORT);

    // Gets the text of a start-up failure to the user.
    using ErrorReport = std::function<void(const QString& text)>;

    // Title, version and icon of the application.
    static void configure(QApplication& app);

    // The report of an error nothing caught: the text on standard error and
    // in a message box with the application's title.
    static void showUnhandledError(const QString& text);

    // Loads the snapshot from currentFolder, shows the form and runs until it
    // closes; returns the exit code. A failure before the window is shown
    // goes to report, and the result is non-zero; the window never shows.
    static int run(QApplication& app, const QString& currentFolder, const ErrorReport& report);
};

}  // namespace korvane::pictorix
