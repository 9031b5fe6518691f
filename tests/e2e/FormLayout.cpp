// Korvane - end-to-end helper: where Pictorix's controls sit on its form.
// SPDX-License-Identifier: MIT
//
// Usage: e2e-form-layout
// Builds Pictorix's form offscreen, as the program lays it out, and prints
// one line per button and per shown format option: "NAME X Y", NAME being the
// button's caption (Print, Save, Close) or the option's (bmp, png, ...), and
// X Y the middle of the control in pixels of the form's own window. The
// end-to-end runs click there, so a control that moves on the form moves
// their clicks with it.
#include "FrmZLS740.h"

#include <QAbstractButton>
#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // No display is needed, nor wanted: the runs ask for the layout before
    // and beside their own X server.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    FrmZLS740 form;
    int printed = 0;
    for (const QAbstractButton* control : form.findChildren<QAbstractButton*>()) {
        if (control->isHidden())
            continue;
        const QPoint middle = control->mapTo(&form, control->rect().center());
        std::printf("%s %d %d\n", qPrintable(control->text()), middle.x(), middle.y());
        ++printed;
    }
    return printed > 0 ? 0 : 1;
}
