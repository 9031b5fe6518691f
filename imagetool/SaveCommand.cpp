// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "SaveCommand.h"

#include "SaveDialog.h"
#include "TwistedPixel.h"

QString SaveCommand::initialFolder(const QString &applicationFolder)
{
    return applicationFolder + QStringLiteral("/Img");
}

QString SaveCommand::proposedFileName(const QDateTime &now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    const auto twoDigits = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    return twoDigits(date.month()) + twoDigits(date.day()) + twoDigits(time.hour())
        + twoDigits(time.minute()) + twoDigits(time.second());
}

QString SaveCommand::filterText(const QString &fileExtension)
{
    return QStringLiteral("*.") + fileExtension + QStringLiteral("|*.") + fileExtension;
}

void SaveCommand::run(SaveDialog &dialog, TwistedPixel &control, qint16 fileTypeCode,
                      const QString &fileExtension, const QDateTime &now,
                      const QString &applicationFolder, QWidget *parent)
{
    dialog.setInitDir(initialFolder(applicationFolder));
    dialog.setFileName(proposedFileName(now));
    dialog.setFilter(filterText(fileExtension));
    dialog.showSave(parent);
    QVariantList args{dialog.fileName(), QVariant::fromValue(fileTypeCode)};
    control.invoke(TwistedPixel::DispSaveImage, TwistedPixel::Call::Method, args);
}
