// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

class QWidget;

namespace korvane::pictorix {

class SaveDialog;
class TwistedPixel;

// The Save command: proposes a time-stamped name in the Img folder beside the
// program, lets the user confirm it in the save dialog, and has the
// conversion control write the picture in the chosen format.
class SaveCommand {
public:
    // The application folder followed directly by "/Img"; the folder is
    // neither tested nor created.
    static QString initialFolder(const QString& applicationFolder);
    // The folder the dialog opens on: the Img folder beside the program,
    // created if missing; where that cannot be written (an installed program
    // in a system folder, a read-only medium), the Img folder in the user's
    // picture folder, created if missing. If neither can be had, the one
    // beside the program, so that the save reports why.
    static QString imageFolder(const QString& applicationFolder, const QString& userPictures);
    // Month, day, hour, minute and second, two digits each: "0408114955".
    static QString proposedFileName(const QDateTime& now);
    // "*.jpg|*.jpg" for the extension "jpg".
    static QString filterText(const QString& fileExtension);

    // Runs the command up to the written file. Raises every RuntimeError of
    // the dialog (32755 for a Cancel) and of the conversion control.
    static void run(SaveDialog& dialog, TwistedPixel& control, qint16 fileTypeCode, const QString& fileExtension,
                    const QDateTime& now, const QString& applicationFolder, QWidget* parent);
};

}  // namespace korvane::pictorix
