// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"

#include "Pictorix.h"
#include "PictureBox.h"
#include "PrintCommand.h"
#include "QtPicture.h"
#include "RuntimeError.h"
#include "SaveCommand.h"
#include "SaveDialog.h"
#include "SnapshotLoader.h"
#include "TwistedPixel.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace korvane::pictorix {

namespace {

struct OptionPlace {
    const char* caption;
    int top;  // twips, inside Frame1
    bool shown;
};

// Index order of opFiletype; the format code of option i is i + 3.
constexpr OptionPlace kOptions[FrmZLS740::kOptionCount] = {
    {"wmf", 2400, false}, {"bmp", 240, true}, {"gif", 2040, false}, {"Ico", 2760, false}, {"cur", 3120, false},
    {"pcx", 600, true},   {"tif", 960, true}, {"png", 1320, true},  {"jpg", 1680, true},
};
constexpr int kJpgOption = 8;

// Places a control at its position and size given in twips.
void place(QWidget* control, int left, int top, int width, int height)
{
    control->setGeometry(FrmZLS740::pixels(left), FrmZLS740::pixels(top), FrmZLS740::pixels(width),
                         FrmZLS740::pixels(height));
}

}  // namespace

int FrmZLS740::pixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

FrmZLS740::FrmZLS740(QWidget* parent)
    : QWidget(parent)
    , clock_([] { return QDateTime::currentDateTime(); })
    , dialogSave_(std::make_unique<SaveDialog>())
    , printerSource_(&PrintCommand::defaultPrinter)
{
    setObjectName(QStringLiteral("frmZLS740"));
    setWindowTitle(QStringLiteral("ZLS 740"));
    setFixedSize(pixels(6240), pixels(4545));
    buildControls();
    // Ctrl+C puts the picture on the clipboard, for pasting into a report;
    // the form itself shows nothing of it.
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, this, &FrmZLS740::copyPicture);
}

FrmZLS740::~FrmZLS740() = default;

void FrmZLS740::buildControls()
{
    buildPictures();
    buildFormatOptions();
    buildButtons();

    line1_ = new QFrame(this);
    line1_->setObjectName(QStringLiteral("Line1"));
    line1_->setFrameShape(QFrame::HLine);
    line1_->setFrameShadow(QFrame::Plain);
    line1_->setLineWidth(1);
    line1_->setGeometry(0, pixels(3960), pixels(6240), 1);

    // Tab order of the tab indices: cmdPrint 0, cmdClose 1, picBMP 2 (hidden),
    // cmdSave 3, Frame1 4, then the options from jpg (5) up to wmf (13), and
    // tpBMP 15, which takes no focus.
    QWidget* order[] = {cmdPrint_,      cmdClose_,      cmdSave_,       opFiletype_[8], opFiletype_[7], opFiletype_[6],
                        opFiletype_[5], opFiletype_[4], opFiletype_[3], opFiletype_[2], opFiletype_[1], opFiletype_[0]};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void FrmZLS740::buildPictures()
{
    tpBMP_ = new TwistedPixel(this);
    place(tpBMP_, 120, 120, 4815, 3735);

    picBMP_ = new PictureBox(this);
    picBMP_->setObjectName(QStringLiteral("picBMP"));
    place(picBMP_, 120, 120, 4800, 3840);
    picBMP_->hide();
}

void FrmZLS740::buildFormatOptions()
{
    frame1_ = new QGroupBox(QStringLiteral("File format"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    place(frame1_, 5040, 0, 1095, 3855);

    opFiletypeGroup_ = new QButtonGroup(this);
    for (int i = 0; i < kOptionCount; ++i) {
        auto* option = new QRadioButton(QString::fromLatin1(kOptions[i].caption), frame1_);
        option->setObjectName(QStringLiteral("opFiletype_%1").arg(i));
        place(option, 240, kOptions[i].top, 800, 255);
        option->setVisible(kOptions[i].shown);
        opFiletypeGroup_->addButton(option, i);
        opFiletype_[i] = option;
    }
    opFiletype_[kJpgOption]->setChecked(true);
    connect(opFiletypeGroup_, &QButtonGroup::idToggled, this, [this](int index, bool checked) {
        if (checked)
            opFiletypeClick(index);
    });
}

void FrmZLS740::buildButtons()
{
    const auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        place(b, left, 4080, 975, 375);
        // Enter and Escape do nothing on this form: it has no default and
        // no cancel button.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    cmdPrint_ = button("cmdPrint", "Print", 3000);
    cmdSave_ = button("cmdSave", "Save", 4080);
    cmdClose_ = button("cmdClose", "Close", 5160);
    connect(cmdPrint_, &QPushButton::clicked, this, &FrmZLS740::cmdPrintClick);
    connect(cmdSave_, &QPushButton::clicked, this, &FrmZLS740::cmdSaveClick);
    connect(cmdClose_, &QPushButton::clicked, this, &QWidget::close);
}

void FrmZLS740::load(const QString& currentFolder)
{
    // The folder is taken as it is: a root folder gives a doubled separator,
    // which the file system accepts.
    const QImage snapshot =
        QtPicture::toImage(SnapshotLoader::load((currentFolder + QStringLiteral("/Temp.bmp")).toStdString()));
    picBMP_->setPicture(snapshot);
    QVariantList args{QVariant::fromValue(picBMP_->picture())};
    tpBMP_->invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyPut, args);
    fileTypeCode_ = 11;
    fileExtension_ = QStringLiteral("jpg");
}

void FrmZLS740::setSaveDialog(std::unique_ptr<SaveDialog> dialog)
{
    dialogSave_ = std::move(dialog);
}

void FrmZLS740::opFiletypeClick(int index)
{
    fileTypeCode_ = qint16(index + 3);
    fileExtension_ = opFiletype_[index]->text();
}

void FrmZLS740::cmdSaveClick()
{
    try {
        SaveCommand::run(*dialogSave_, *tpBMP_, fileTypeCode_, fileExtension_, clock_(),
                         QCoreApplication::applicationDirPath(), this);
    } catch (const RuntimeError& error) {
        if (error.number() != RuntimeError::kCancelSelected)
            showMessage(QString::fromStdString(error.description()), false);
    }
}

void FrmZLS740::cmdPrintClick()
{
    // A failed print changes nothing on the form; the next click tries anew.
    try {
        std::unique_ptr<QPrinter> printer = printerSource_();
        QVariantList none;
        const QImage picture =
            tpBMP_->invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyGet, none).value<QImage>();
        PrintCommand::print(*printer, picture);
    } catch (const RuntimeError& error) {
        showMessage(QString::fromStdString(error.description()), true);
    }
}

void FrmZLS740::copyPicture()
{
    QVariantList none;
    const QImage picture =
        tpBMP_->invoke(TwistedPixel::DispImagePicture, TwistedPixel::Call::PropertyGet, none).value<QImage>();
    if (!picture.isNull())
        QGuiApplication::clipboard()->setImage(picture);
}

void FrmZLS740::showMessage(const QString& text, bool warning)
{
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, Pictorix::kTitle, text, QMessageBox::Ok,
                    this);
    box.exec();
}

}  // namespace korvane::pictorix
