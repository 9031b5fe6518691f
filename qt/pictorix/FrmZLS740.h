// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace korvane::pictorix {

class PictureBox;
class SaveDialog;
class TwistedPixel;

// The image tool's one window: shows the snapshot, keeps the chosen output
// format, and saves or prints the picture. Positions are laid out in twips,
// 15 to a pixel, and nothing follows a change of the window's size.
class FrmZLS740 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kOptionCount = 9;

    using Clock = std::function<QDateTime()>;
    using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;

    explicit FrmZLS740(QWidget* parent = nullptr);
    ~FrmZLS740() override;

    // Start-up: loads currentFolder + "/Temp.bmp" into picBMP, hands it to
    // tpBMP and sets the format to jpg (11). Raises RuntimeError when the file
    // is missing, unreadable or no picture; the window must not be shown then.
    void load(const QString& currentFolder);

    qint16 fileTypeCode() const { return fileTypeCode_; }
    QString fileExtension() const { return fileExtension_; }

    // Services the commands use; tests put their own in place of the clock,
    // the user at the save dialog and the default printer.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setSaveDialog(std::unique_ptr<SaveDialog> dialog);
    void setPrinterSource(PrinterSource source) { printerSource_ = std::move(source); }

    static int pixels(int twips);

private:
    void buildControls();
    void buildPictures();
    void buildFormatOptions();
    void buildButtons();
    void opFiletypeClick(int index);
    void cmdSaveClick();
    void cmdPrintClick();
    void copyPicture();
    void showMessage(const QString& text, bool warning);

    qint16 fileTypeCode_ = 11;
    QString fileExtension_ = QStringLiteral("jpg");

    TwistedPixel* tpBMP_ = nullptr;
    PictureBox* picBMP_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    std::array<QRadioButton*, kOptionCount> opFiletype_{};
    QButtonGroup* opFiletypeGroup_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
    QFrame* line1_ = nullptr;

    Clock clock_;
    std::unique_ptr<SaveDialog> dialogSave_;
    PrinterSource printerSource_;
};

}  // namespace korvane::pictorix
