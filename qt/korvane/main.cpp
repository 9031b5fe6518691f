// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#include "MainWindow.h"
#include "Version.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION_SHORT));

    // The viewer's files live in the current directory; header2.bin and
    // Pictorix also ship beside the program.
    korvane::MainWindow window({}, QCoreApplication::applicationDirPath().toStdString());
    window.show();
    return app.exec();
}
