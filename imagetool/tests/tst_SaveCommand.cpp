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

using namespace TestSupport;

namespace {

// Stands in for the user at the save dialog: notes the proposed name and the
// filters, and answers with a file name, or cancels when there is none.
class ScriptedDialog : public SaveDialog {
public:
    std::optional<QString> answer;
    QStringList offered; // proposed name, then the name filters, of each showing

protected:
    std::optional<QString> ask(QFileDialog &dialog) override
    {
        offered << dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text() << dialog.nameFilters();
        return answer;
    }
};

} // namespace

class TestSaveCommand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void savesUnderTheConfirmedName_data();
    void savesUnderTheConfirmedName();
    void cancelIsSilentOtherErrorsShowOneBox_data();
    void cancelIsSilentOtherErrorsShowOneBox();

private:
    void save(int option, const std::optional<QString> &answer);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FrmZLS740> form_;
    ScriptedDialog *dialog_ = nullptr;
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
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

// Chooses option (set, as hidden ones cannot be clicked) and clicks Save.
void TestSaveCommand::save(int option, const std::optional<QString> &answer)
{
    form_->findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(option))->setChecked(true);
    dialog_->answer = answer;
    QTest::mouseClick(form_->findChild<QPushButton *>(QStringLiteral("cmdSave")), Qt::LeftButton);
}

void TestSaveCommand::savesUnderTheConfirmedName_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("answer"); // empty: the proposed name as it stands
    QTest::addColumn<QString>("format");
    // Month, day, hour, minute, second; no year, no milliseconds.
    QTest::newRow("new year, jpg") << QDateTime(QDate(2024, 1, 1), QTime(0, 0)) << "0101000000" << 8 << QString()
                                   << QStringLiteral("JPEG");
    // A typed name keeps its own extension; the contents follow the option.
    QTest::newRow("morning, png typed as .bmp") << QDateTime(QDate(1999, 4, 8), QTime(11, 49, 55, 999)) << "0408114955"
                                                << 7 << QStringLiteral("scope.bmp") << QStringLiteral("PNG");
    QTest::newRow("new year's eve, bmp") << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)) << "1231235959" << 1
                                         << QString() << QStringLiteral("BMP");
}

void TestSaveCommand::savesUnderTheConfirmedName()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, proposed);
    QFETCH(int, option);
    QFETCH(QString, answer);
    QFETCH(QString, format);
    now_ = now;
    const QString name = answer.isEmpty() ? proposed : answer;
    MessageBoxWatcher watcher;
    save(option, dir_->filePath(name));
    const QString extension = form_->fileExtension();
    QCOMPARE(dialog_->offered, (QStringList{proposed, QStringLiteral("*.%1 (*.%1)").arg(extension)}));
    QCOMPARE(dialog_->initDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/Img"));
    QVERIFY(watcher.seen().empty());
    QStringList files{name, QStringLiteral("Temp.bmp")}; // no extension added, no temporary file
    files.sort();
    QCOMPARE(folderEntries(dir_->path()), files);
    QCOMPARE(decodeWithImageMagick(dir_->filePath(name), format).size(), QSize(320, 240));
}

void TestSaveCommand::cancelIsSilentOtherErrorsShowOneBox_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("answer"); // empty: the user cancels
    QTest::addColumn<QString>("message");
    QTest::newRow("cancel") << 8 << QString() << QString();
    QTest::newRow("folder missing") << 8 << QStringLiteral("no such folder/0408114955") << QStringLiteral("Path not found: ");
    QTest::newRow("wmf") << 0 << QStringLiteral("x.wmf") << QStringLiteral("wmf");
}

void TestSaveCommand::cancelIsSilentOtherErrorsShowOneBox()
{
    QFETCH(int, option);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    MessageBoxWatcher watcher;
    save(option, answer.isEmpty() ? std::nullopt : std::optional(dir_->filePath(answer)));
    QCOMPARE(dialog_->offered.size(), 2);
    if (message.isEmpty()) {
        QVERIFY(watcher.seen().empty());
    } else {
        QCOMPARE(watcher.seen().size(), size_t(1));
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("ZLS740"));
        // The description alone, not the run-time error report.
        QVERIFY2(watcher.seen()[0].text.contains(message) && !watcher.seen()[0].text.contains(QStringLiteral("Run-time")),
                 qPrintable(watcher.seen()[0].text));
    }
    QCOMPARE(folderEntries(dir_->path()), QStringList{QStringLiteral("Temp.bmp")});

    // The form works as before: the next save writes its file.
    save(1, dir_->filePath(QStringLiteral("after")));
    QCOMPARE(watcher.seen().size(), size_t(message.isEmpty() ? 0 : 1));
    QVERIFY(!decodeWithImageMagick(dir_->filePath(QStringLiteral("after")), QStringLiteral("BMP")).isNull());
}

QTEST_MAIN(TestSaveCommand)
#include "tst_SaveCommand.moc"
