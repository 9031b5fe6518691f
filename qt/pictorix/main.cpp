// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "Pictorix.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    using korvane::pictorix::Pictorix;
    QApplication app(argc, argv);
    Pictorix::configure(app);
    return Pictorix::run(app, QDir::currentPath(), &Pictorix::showUnhandledError);
}
