// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "RuntimeError.h"
#include "SaveCommand.h"
#include "SaveDialog.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

// Stands in for the user at the save dialog: notes what the dialog offered
// and answers with a file name, or cancels when there is none.
class ScriptedDialog : public SaveDialog {
public:
    struct Offer {
        QString directory;
        QString proposedName;
        QStringList nameFilters;
        bool savesFiles;
        bool confirmsOverwrite;
        QString defaultSuffix;
    };

    explicit ScriptedDialog(std::optional<QString> answer) : answer_(std::move(answer)) {}
    void answerWith(std::optional<QString> answer) { answer_ = std::move(answer); }
    const std::vector<Offer> &offers() const { return offers_; }

protected:
    std::optional<QString> ask(QFileDialog &dialog) override
    {
        auto *nameEdit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        offers_.push_back({dialog.directory().absolutePath(), nameEdit ? nameEdit->text() : QString(),
                           dialog.nameFilters(), dialog.acceptMode() == QFileDialog::AcceptSave,
                           !dialog.testOption(QFileDialog::DontConfirmOverwrite), dialog.defaultSuffix()});
        return answer_;
    }

private:
    std::optional<QString> answer_;
    std::vector<Offer> offers_;
};

QDateTime at(int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(2024, month, day), QTime(hour, minute, second));
}

} // namespace

class TestSaveCommand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void proposedNameAndDialogFilters();
    void saveWritesTheChosenFormatUnderTheChosenName();
    void cancelEndsSilently();
    void otherErrorsShowOneMessage();
    void realDialogOpensOnTheImgFolderAndCancels();

private:
    void clickSave();
    void choose(int index);

    std::unique_ptr<QTemporaryDir> folder_;
    QDir dir_;
    std::unique_ptr<FrmZLS740> form_;
    ScriptedDialog *dialog_ = nullptr;
    QDateTime now_;
};

void TestSaveCommand::init()
{
    form_.reset();
    folder_ = std::make_unique<QTemporaryDir>();
    dir_ = QDir(folder_->path());
    QVERIFY(writeFile(dir_.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(1)));
    form_ = std::make_unique<FrmZLS740>();
    form_->load(dir_.path());
    auto dialog = std::make_unique<ScriptedDialog>(std::nullopt);
    dialog_ = dialog.get();
    form_->setSaveDialog(std::move(dialog));
    now_ = at(4, 8, 11, 49, 55);
    form_->setClock([this] { return now_; });
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestSaveCommand::clickSave()
{
    QTest::mouseClick(form_->findChild<QPushButton *>(QStringLiteral("cmdSave")), Qt::LeftButton);
}

void TestSaveCommand::choose(int index)
{
    QTest::mouseClick(form_->findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(index)), Qt::LeftButton);
}

void TestSaveCommand::proposedNameAndDialogFilters()
{
    QCOMPARE(SaveCommand::proposedFileName(at(1, 1, 0, 0, 0)), QStringLiteral("0101000000"));
    QCOMPARE(SaveCommand::proposedFileName(at(12, 31, 23, 59, 59)), QStringLiteral("1231235959"));
    // No year: the same moment of another year proposes the same name.
    QCOMPARE(SaveCommand::proposedFileName(QDateTime(QDate(1999, 4, 8), QTime(11, 49, 55))), QStringLiteral("0408114955"));
    // Milliseconds do not count: two saves within one second propose one name.
    QCOMPARE(SaveCommand::proposedFileName(QDateTime(QDate(2024, 4, 8), QTime(11, 49, 55, 999))), QStringLiteral("0408114955"));
    // A filter of several pairs, patterns separated by semicolons.
    QCOMPARE(SaveDialog::nameFilters(QStringLiteral("Pictures|*.png;*.bmp|All files|*.*")),
             (QStringList{QStringLiteral("Pictures (*.png *.bmp)"), QStringLiteral("All files (*.*)")}));
}

void TestSaveCommand::saveWritesTheChosenFormatUnderTheChosenName()
{
    // Defaults: jpg, the proposed name in the Img folder beside the program.
    const QString proposed = dir_.filePath(QStringLiteral("0408114955"));
    dialog_->answerWith(proposed);
    MessageBoxWatcher watcher;
    clickSave();
    QCOMPARE(dialog_->offers().size(), size_t(1));
    const ScriptedDialog::Offer &offer = dialog_->offers()[0];
    QCOMPARE(dialog_->initDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/Img"));
    QCOMPARE(offer.proposedName, QStringLiteral("0408114955"));
    QCOMPARE(offer.nameFilters, QStringList{QStringLiteral("*.jpg (*.jpg)")});
    QVERIFY(offer.savesFiles);
    QVERIFY(offer.confirmsOverwrite);
    QVERIFY(offer.defaultSuffix.isEmpty());
    // Saved without an extension, as JPEG.
    QCOMPARE(identifyFormat(proposed), QStringLiteral("JPEG"));
    QVERIFY(watcher.seen().empty());

    // png chosen, a name with another extension typed: the name stays, the
    // contents follow the chosen format.
    choose(7);
    now_ = at(12, 31, 23, 59, 59);
    const QString typed = dir_.filePath(QStringLiteral("scope.bmp"));
    dialog_->answerWith(typed);
    clickSave();
    QCOMPARE(dialog_->offers().back().proposedName, QStringLiteral("1231235959"));
    QCOMPARE(dialog_->offers().back().nameFilters, QStringList{QStringLiteral("*.png (*.png)")});
    QCOMPARE(identifyFormat(typed), QStringLiteral("PNG"));
    QVERIFY(!QFile::exists(typed + QStringLiteral(".png")));
    QCOMPARE(decodeWithImageMagick(typed, QStringLiteral("PNG")), snapshot(1).convertToFormat(QImage::Format_RGB888));
    // Saving changes neither the format nor the picture.
    QCOMPARE(form_->fileTypeCode(), qint16(10));
    QCOMPARE(form_->fileExtension(), QStringLiteral("png"));
    QVERIFY(watcher.seen().empty());
}

void TestSaveCommand::cancelEndsSilently()
{
    dialog_->answerWith(std::nullopt);
    MessageBoxWatcher watcher;
    clickSave();
    QCOMPARE(dialog_->offers().size(), size_t(1));
    QVERIFY(watcher.seen().empty());
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("Temp.bmp")});
    QCOMPARE(form_->fileTypeCode(), qint16(11));

    // The dialog itself reports the cancel as error 32755.
    ScriptedDialog bare(std::nullopt);
    QCOMPARE(raisedNumber([&] { bare.showSave(nullptr); }), RuntimeError::CancelSelected);
}

void TestSaveCommand::otherErrorsShowOneMessage()
{
    MessageBoxWatcher watcher;
    dialog_->answerWith(dir_.filePath(QStringLiteral("no such folder/0408114955")));
    clickSave();
    QCOMPARE(watcher.seen().size(), size_t(1));
    const MessageBoxWatcher::Seen &box = watcher.seen()[0];
    QCOMPARE(box.title, QStringLiteral("ZLS740"));
    QVERIFY2(box.text.startsWith(QStringLiteral("Path not found: ")), qPrintable(box.text));
    QVERIFY(!box.text.contains(QStringLiteral("Run-time error"))); // the description alone
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // A format the control cannot write: its own description.
    form_->findChild<QRadioButton *>(QStringLiteral("opFiletype_0"))->setChecked(true);
    dialog_->answerWith(dir_.filePath(QStringLiteral("x.wmf")));
    clickSave();
    QCOMPARE(watcher.seen().size(), size_t(2));
    QVERIFY(watcher.seen()[1].text.contains(QStringLiteral("wmf")));
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("x.wmf"))));

    // Afterwards the form works as before.
    choose(1);
    dialog_->answerWith(dir_.filePath(QStringLiteral("after")));
    clickSave();
    QCOMPARE(watcher.seen().size(), size_t(2));
    QVERIFY(identifyFormat(dir_.filePath(QStringLiteral("after"))).startsWith(QStringLiteral("BMP")));
}

void TestSaveCommand::realDialogOpensOnTheImgFolderAndCancels()
{
    // The dialog as the user sees it, answered through its own widgets.
    const QString img = QCoreApplication::applicationDirPath() + QStringLiteral("/Img");
    const bool made = QDir().mkpath(img);
    const auto cleanup = qScopeGuard([&] {
        if (made)
            QDir(img).removeRecursively();
    });
    QVERIFY(made);
    form_->setSaveDialog(std::make_unique<SaveDialog>());
    QString seenFolder, seenName;
    QStringList seenFilters;
    int step = 0;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seenFolder = dialog->directory().absolutePath();
        seenName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        seenFilters = dialog->nameFilters();
        if (step++ == 0) {
            dialog->reject();
        } else {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(dir_.filePath(QStringLiteral("typed")));
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    user.start(20);
    MessageBoxWatcher watcher;
    clickSave();
    QCOMPARE(seenFolder, QDir(img).absolutePath());
    QCOMPARE(seenName, QStringLiteral("0408114955"));
    QCOMPARE(seenFilters, QStringList{QStringLiteral("*.jpg (*.jpg)")});
    QVERIFY(watcher.seen().empty());
    QVERIFY(QDir(img).isEmpty());

    clickSave();
    QCOMPARE(identifyFormat(dir_.filePath(QStringLiteral("typed"))), QStringLiteral("JPEG"));
    QVERIFY(watcher.seen().empty());
}

QTEST_MAIN(TestSaveCommand)
#include "tst_SaveCommand.moc"
