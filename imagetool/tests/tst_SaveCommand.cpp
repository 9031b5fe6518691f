// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "SaveCommand.h"
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

// The user at the save dialog: notes the proposed name and filters, answers with a name or cancels.
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
    void saveWritesOrReports_data();
    void saveWritesOrReports();
    void imageFolderIsOneTheUserCanWrite_data();
    void imageFolderIsOneTheUserCanWrite();
};

void TestSaveCommand::saveWritesOrReports_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("answer"); // "": the user cancels; "=": the proposed name
    QTest::addColumn<QString>("outcome"); // ImageMagick's format of the file, "box:" and the message, or "" for none
    const auto row = [](const char *name, QDateTime now, const char *proposed, int option, const char *answer,
                        const char *outcome) {
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
    row("folder missing", morning, "0408114955", 8, "no such folder/x", "box:Path not found: ");
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
    ScriptedDialog &dialog = *owned;
    form.setSaveDialog(std::move(owned));
    form.setClock([&] { return now; });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto save = [&](int index, const QString &name) {
        form.findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(index))->setChecked(true);
        dialog.answer = name.isEmpty() ? std::nullopt : std::optional(dir.filePath(name));
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("cmdSave")), Qt::LeftButton);
    };

    MessageBoxWatcher watcher;
    const QString name = answer == QStringLiteral("=") ? proposed : answer;
    save(option, name);
    QCOMPARE(dialog.offered, (QStringList{proposed, QStringLiteral("*.%1 (*.%1)").arg(form.fileExtension())}));
    QCOMPARE(dialog.initDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/Img"));
    const bool box = outcome.startsWith(QStringLiteral("box:")), written = !box && !outcome.isEmpty();
    QCOMPARE(watcher.seen.size(), size_t(box ? 1 : 0)); // a cancel is silent
    if (box) { // the description alone, not the run-time error report
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

void TestSaveCommand::imageFolderIsOneTheUserCanWrite_data()
{
    // Folders below a plain file can never be made, whoever runs the test.
    QTest::addColumn<QString>("program"); // the program's folder, in the test's folder
    QTest::addColumn<QString>("pictures"); // the user's picture folder
    QTest::addColumn<QString>("chosen");
    QTest::newRow("Img beside the program") << "prog" << "pics" << "prog/Img";
    QTest::newRow("Img missing: made beside the program") << "bare" << "pics" << "bare/Img";
    QTest::newRow("program folder not writable") << "plain/prog" << "pics" << "pics/Img";
    QTest::newRow("Img is a file") << "imgfile" << "pics" << "pics/Img";
    QTest::newRow("no picture folder either") << "plain/prog" << "plain/pics" << "plain/prog/Img";
    QTest::newRow("no picture folder known") << "plain/prog" << "" << "plain/prog/Img";
}

void TestSaveCommand::imageFolderIsOneTheUserCanWrite()
{
    QFETCH(QString, program);
    QFETCH(QString, pictures);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("prog/Img")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bare")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("imgfile")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("imgfile/Img")), "x"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("plain")), "x"));
    const QString result =
        SaveCommand::imageFolder(dir.filePath(program), pictures.isEmpty() ? QString() : dir.filePath(pictures));
    QCOMPARE(result, dir.filePath(chosen));
    if (!chosen.startsWith(QStringLiteral("plain/")))
        QVERIFY(QFileInfo(result).isDir());
}

QTEST_MAIN(TestSaveCommand)
#include "tst_SaveCommand.moc"
