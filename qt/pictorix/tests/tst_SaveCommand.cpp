// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "SaveDialog.h"
#include "TestSupport.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace korvane::pictorix;
using namespace korvane::pictorix::test;

namespace {

// The user at the save dialog: notes the proposed name and filters, answers with a name or cancels.
class ScriptedDialog : public SaveDialog {
public:
    std::optional<QString> answer;
    QStringList offered;  // proposed name, then the name filters, of each showing

protected:
    std::optional<QString> ask(QFileDialog& dialog) override
    {
        offered << dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text() << dialog.nameFilters();
        return answer;
    }
};

}  // namespace

class TestSaveCommand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void preparesTheDialogWithTheTimeTheFilterAndTheImgFolder();
    void writesTheChosenFormatUnderTheNameAsGiven();
    void cancelIsSilentAndWritesNothing();
    void aFailureIsShownAndTheFormWorksOn();

private:
    // Chooses the format option of index, clicks Save and has the user answer name ("" cancels); the boxes shown.
    std::vector<MessageBoxWatcher::Seen> save(int index, const QString& name)
    {
        form_->findChild<QRadioButton*>(QStringLiteral("opFiletype_%1").arg(index))->setChecked(true);
        dialog_->answer = name.isEmpty() ? std::nullopt : std::optional(dir_->filePath(name));
        MessageBoxWatcher watcher;
        QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
        return watcher.seen;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FrmZLS740> form_;
    ScriptedDialog* dialog_ = nullptr;
    QDateTime now_;
};

void TestSaveCommand::init()
{
    form_.reset();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(writeFile(dir_->filePath(QStringLiteral("Temp.bmp")), snapshotBytes(1)));
    form_ = std::make_unique<FrmZLS740>();
    form_->load(dir_->path());
    auto dialog = std::make_unique<ScriptedDialog>();
    dialog_ = dialog.get();
    form_->setSaveDialog(std::move(dialog));
    form_->setClock([this] { return now_; });
    form_->show();
}

void TestSaveCommand::preparesTheDialogWithTheTimeTheFilterAndTheImgFolder()
{
    // Month, day, hour, minute, second, no year, no milliseconds; the filter of the chosen option.
    for (const auto& [now, option, name, filter] :
         {std::tuple{QDateTime(QDate(2024, 1, 1), QTime(0, 0)), 8, "0101000000", "*.jpg (*.jpg)"},
          {QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)), 1, "1231235959", "*.bmp (*.bmp)"},
          {QDateTime(QDate(1999, 4, 8), QTime(11, 49, 55, 999)), 7, "0408114955", "*.png (*.png)"}}) {
        now_ = now;
        dialog_->offered.clear();
        QVERIFY(save(option, QString()).empty());
        QCOMPARE(dialog_->offered, (QStringList{QLatin1String(name), QLatin1String(filter)}));
    }
    QCOMPARE(dialog_->initDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/Img"));
}

void TestSaveCommand::writesTheChosenFormatUnderTheNameAsGiven()
{
    // No extension added, no temporary file left; a typed extension does not choose the format.
    QVERIFY(save(8, QStringLiteral("0408114955")).empty());
    QVERIFY(save(7, QStringLiteral("scope.bmp")).empty());
    QCOMPARE(decodeWithImageMagick(dir_->filePath(QStringLiteral("0408114955")), "JPEG").size(), QSize(320, 240));
    QCOMPARE(decodeWithImageMagick(dir_->filePath(QStringLiteral("scope.bmp")), "PNG").size(), QSize(320, 240));
    QCOMPARE(folderEntries(dir_->path()), (QStringList{"0408114955", "Temp.bmp", "scope.bmp"}));
}

void TestSaveCommand::cancelIsSilentAndWritesNothing()
{
    QVERIFY(save(8, QString()).empty());
    QCOMPARE(folderEntries(dir_->path()), QStringList{QStringLiteral("Temp.bmp")});
}

void TestSaveCommand::aFailureIsShownAndTheFormWorksOn()
{
    const std::vector<MessageBoxWatcher::Seen> boxes = save(0, QStringLiteral("x.wmf"));
    QCOMPARE(boxes.size(), size_t(1));
    // The description alone, not the run-time error report, under the application's title.
    QCOMPARE(boxes[0].title, QStringLiteral("ZLS740"));
    QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Cannot save as wmf")), qPrintable(boxes[0].text));
    QCOMPARE(folderEntries(dir_->path()), QStringList{QStringLiteral("Temp.bmp")});
    QVERIFY(save(1, QStringLiteral("after")).empty());
    QVERIFY(!decodeWithImageMagick(dir_->filePath(QStringLiteral("after")), QStringLiteral("BMP")).isNull());
}

QTEST_MAIN(TestSaveCommand)
#include "tst_SaveCommand.moc"
