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
    void saveWritesOrReports_data();
    void saveWritesOrReports();
};

void TestSaveCommand::saveWritesOrReports_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("answer");   // "": the user cancels; "=": the proposed name
    QTest::addColumn<QString>("outcome");  // ImageMagick's format of the file, "box:" and the message, or "" for none
    const auto row = [](const char* name, QDateTime now, const char* proposed, int option, const char* answer,
                        const char* outcome) {
        QTest::newRow(name) << now << QString::fromLatin1(proposed) << option << QString::fromLatin1(answer)
                            << QString::fromLatin1(outcome);
    };
    // Month, day, hour, minute, second; no year, no milliseconds.
    const QDateTime morning(QDate(1999, 4, 8), QTime(11, 49, 55, 999));
    row("new year, jpg", QDateTime(QDate(2024, 1, 1), QTime(0, 0)), "0101000000", 8, "=", "JPEG");
    row("new year's eve, bmp", QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)), "1231235959", 1, "=", "BMP");
    // A typed name keeps its own extension; the contents follow the option.
    row("png typed as .bmp", morning, "0408114955", 7, "scope.bmp", "PNG");
    row("cancel", morning, "0408114955", 8, "", "");
    row("wmf", morning, "0408114955", 0, "x.wmf", "box:Cannot save as wmf");
}

void TestSaveCommand::saveWritesOrReports()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, proposed);
    QFETCH(int, option);
    QFETCH(QString, answer);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(1)));
    FrmZLS740 form;
    form.load(dir.path());
    auto owned = std::make_unique<ScriptedDialog>();
    ScriptedDialog& dialog = *owned;
    form.setSaveDialog(std::move(owned));
    form.setClock([&] { return now; });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto save = [&](int index, const QString& name) {
        form.findChild<QRadioButton*>(QStringLiteral("opFiletype_%1").arg(index))->setChecked(true);
        dialog.answer = name.isEmpty() ? std::nullopt : std::optional(dir.filePath(name));
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("cmdSave")), Qt::LeftButton);
    };

    MessageBoxWatcher watcher;
    const QString name = answer == QStringLiteral("=") ? proposed : answer;
    save(option, name);
    QCOMPARE(dialog.offered, (QStringList{proposed, QStringLiteral("*.%1 (*.%1)").arg(form.fileExtension())}));
    QCOMPARE(dialog.initDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/Img"));
    const bool box = outcome.startsWith(QStringLiteral("box:")), written = !box && !outcome.isEmpty();
    QCOMPARE(watcher.seen.size(), size_t(box ? 1 : 0));  // a cancel is silent
    if (box) {                                           // the description alone, not the run-time error report
        QCOMPARE(watcher.seen[0].title, QStringLiteral("ZLS740"));
        QVERIFY2(watcher.seen[0].text.startsWith(outcome.mid(4)), qPrintable(watcher.seen[0].text));
    }
    if (written)
        QCOMPARE(decodeWithImageMagick(dir.filePath(name), outcome).size(), QSize(320, 240));
    // Nothing but the named file: no extension added, no temporary file.
    QStringList files{QStringLiteral("Temp.bmp")};
    if (written)
        files.append(name);
    files.sort();
    QCOMPARE(folderEntries(dir.path()), files);

    // The form works on: the next save writes its file.
    save(1, QStringLiteral("after"));
    QVERIFY(!decodeWithImageMagick(dir.filePath(QStringLiteral("after")), QStringLiteral("BMP")).isNull());
}

QTEST_MAIN(TestSaveCommand)
#include "tst_SaveCommand.moc"
