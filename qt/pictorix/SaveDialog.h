// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QFileDialog;
class QWidget;

namespace korvane::pictorix {

// The form's save-file dialog component: it is given an initial folder, a
// proposed file name and a filter, shows a save dialog, and hands back the
// chosen file name exactly as the user confirmed it (no extension is added).
// A Cancel by the user is raised as RuntimeError 32755, which the Save command
// tells apart from every other failure. Overwriting an existing file must be
// confirmed in the dialog.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;

    void setInitDir(const QString& folder) { initDir_ = folder; }
    QString initDir() const { return initDir_; }
    void setFileName(const QString& name) { fileName_ = name; }
    // After showSave(): the chosen file name with its full path.
    QString fileName() const { return fileName_; }
    // Filter text: pairs of description and pattern, each separated by '|'
    // ("*.jpg|*.jpg"); several patterns of one entry are separated by ';'.
    void setFilter(const QString& filter) { filter_ = filter; }
    QString filter() const { return filter_; }

    // Shows the dialog over parent and waits for the user. Throws
    // RuntimeError 32755 when the user cancels.
    void showSave(QWidget* parent);

    // The filter text as the name filters of a Qt file dialog:
    // "*.jpg|*.jpg" becomes "*.jpg (*.jpg)".
    static QStringList nameFilters(const QString& filter);

protected:
    // Runs the prepared dialog and returns the chosen file, or nothing when
    // the user cancelled. Tests answer for the user here.
    virtual std::optional<QString> ask(QFileDialog& dialog);

private:
    QString initDir_;
    QString fileName_;
    QString filter_;
};

}  // namespace korvane::pictorix
