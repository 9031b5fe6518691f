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

namespace korvane::pictorix {

namespace {

constexpr int kStartupFailed = 1;

}  // namespace

void Pictorix::configure(QApplication& app)
{
    app.setApplicationName(kTitle);
    app.setApplicationVersion(kVersion);
    app.setWindowIcon(PictorixIcon::icon());
}

void Pictorix::showUnhandledError(const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(kTitle),
                 qPrintable(QString(text).replace(QStringLiteral("\n\n"), QStringLiteral(" "))));
    QMessageBox box(QMessageBox::Critical, kTitle, text, QMessageBox::Ok);
    box.exec();
}

int Pictorix::run(QApplication& app, const QString& currentFolder, const ErrorReport& report)
{
    FrmZLS740 form;
    try {
        form.load(currentFolder);
    } catch (const RuntimeError& error) {
        report(QString::fromStdString(error.unhandledText()));
        return kStartupFailed;
    } catch (const std::bad_alloc&) {
        report(QString::fromStdString(RuntimeError(RuntimeError::kOutOfMemory, "Out of memory").unhandledText()));
        return kStartupFailed;
    }
    form.show();
    return app.exec();
}

}  // namespace korvane::pictorix
