// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "SaveCommand.h"

#include "SaveDialog.h"
#include "TwistedPixel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace korvane::pictorix {

namespace {

// A folder files can be written into: it exists (or was just made) and the
// file system grants writing. access() also sees a read-only mount, which
// the permission bits alone do not show to the superuser.
bool writableFolder(const QString& folder)
{
    return !folder.isEmpty() && QDir().mkpath(folder) && QFileInfo(folder).isDir()
        && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

}  // namespace

QString SaveCommand::initialFolder(const QString& applicationFolder)
{
    return applicationFolder + QStringLiteral("/Img");
}

QString SaveCommand::imageFolder(const QString& applicationFolder, const QString& userPictures)
{
    const QString besideProgram = initialFolder(applicationFolder);
    if (writableFolder(besideProgram))
        return besideProgram;
    if (!userPictures.isEmpty()) {
        const QString own = userPictures + QStringLiteral("/Img");
        if (writableFolder(own))
            return own;
    }
    return besideProgram;
}

QString SaveCommand::proposedFileName(const QDateTime& now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    const auto twoDigits = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    return twoDigits(date.month()) + twoDigits(date.day()) + twoDigits(time.hour()) + twoDigits(time.minute())
        + twoDigits(time.second());
}

QString SaveCommand::filterText(const QString& fileExtension)
{
    return QStringLiteral("*.") + fileExtension + QStringLiteral("|*.") + fileExtension;
}

void SaveCommand::run(SaveDialog& dialog, TwistedPixel& control, qint16 fileTypeCode, const QString& fileExtension,
                      const QDateTime& now, const QString& applicationFolder, QWidget* parent)
{
    dialog.setInitDir(
        imageFolder(applicationFolder, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)));
    dialog.setFileName(proposedFileName(now));
    dialog.setFilter(filterText(fileExtension));
    dialog.showSave(parent);
    QVariantList args{dialog.fileName(), QVariant::fromValue(fileTypeCode)};
    control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, args);
}

}  // namespace korvane::pictorix
