// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "SaveDialog.h"

#include "RuntimeError.h"

#include <QFileDialog>

namespace korvane::pictorix {

QStringList SaveDialog::nameFilters(const QString& filter)
{
    const QStringList pieces = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        QString patterns = pieces[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(QStringLiteral("%1 (%2)").arg(pieces[i], patterns.simplified()));
    }
    if (filters.isEmpty())
        filters.append(QStringLiteral("All files (*)"));
    return filters;
}

void SaveDialog::showSave(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save As"));
    dialog.setObjectName(QStringLiteral("dialogSave"));
    // The same dialog on every desktop, whatever the platform offers.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters(filter_));
    dialog.setDirectory(initDir_);
    dialog.selectFile(fileName_);
    const std::optional<QString> chosen = ask(dialog);
    if (!chosen)
        throw RuntimeError(RuntimeError::kCancelSelected, "Cancel was selected.");
    fileName_ = *chosen;
}

std::optional<QString> SaveDialog::ask(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace korvane::pictorix
