// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "Pictorix.h"

#include "FrmZLS740.h"
#include "PictorixIcon.h"
#include "RuntimeError.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <new>

namespace {

constexpr int OutOfMemory = 7;
constexpr int StartupFailed = 1;

}  // namespace

void Pictorix::configure(QApplication& app)
{
    app.setApplicationName(Title);
    app.setApplicationVersion(Version);
    app.setWindowIcon(PictorixIcon::icon());
}

QString Pictorix::unhandledErrorText(int number, const QString& description)
{
    return QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description);
}

void Pictorix::showUnhandledError(const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(Title),
                 qPrintable(QString(text).replace(QStringLiteral("\n\n"), QStringLiteral(" "))));
    QMessageBox box(QMessageBox::Critical, Title, text, QMessageBox::Ok);
    box.exec();
}

int Pictorix::run(QApplication& app, const QString& currentFolder, const ErrorReport& report)
{
    FrmZLS740 form;
    try {
        form.load(currentFolder);
    } catch (const RuntimeError& error) {
        report(unhandledErrorText(error.number(), error.description()));
        return StartupFailed;
    } catch (const std::bad_alloc&) {
        report(unhandledErrorText(OutOfMemory, QStringLiteral("Out of memory")));
        return StartupFailed;
    }
    form.show();
    return app.exec();
}
