// Korvane - end-to-end helper: where Pictorix's controls sit on its form.
// SPDX-License-Identifier: MIT
//
// Usage: e2e-form-layout
// Prints "NAME X Y" for each shown button and format option of Pictorix's
// form (Print, Save, Close, bmp, png, ...): the middle of the control in
// pixels of the form's window, as the program lays it out. The end-to-end
// runs click there, so their clicks move with the controls.
#include "FrmZLS740.h"

#include <QAbstractButton>
#include <QApplication>

#include <cstdio>

using namespace korvane::pictorix;

int main(int argc, char* argv[])
{
    // The runs ask for the layout beside their own X server, needing none.
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
