// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "Pictorix.h"
#include "PictureBox.h"
#include "SnapshotLoader.h"
#include "TestSupport.h"
#include "TwistedPixel.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

QRadioButton *option(QWidget &form, int index)
{
    return form.findChild<QRadioButton *>(QStringLiteral("opFiletype_%1").arg(index));
}

QImage shownPicture(FrmZLS740 &form)
{
    return form.findChild<TwistedPixel *>(QStringLiteral("tpBMP"))->imagePicture();
}

} // namespace

class TestFrmZLS740 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void layoutAndCaptions();
    void tabOrderFollowsTheTabIndices();
    void optionsSetCodeAndExtension();
    void startupShowsTheSnapshot();
    void startupFailureReportsAndNeverShowsTheWindow_data();
    void startupFailureReportsAndNeverShowsTheWindow();
    void eachInstanceKeepsItsOwnSnapshot();
    void closeEndsTheProgram();

private:
    QTemporaryDir dir_;
};

void TestFrmZLS740::init()
{
    QVERIFY(writeFile(dir_.filePath(QStringLiteral("Temp.bmp")), snapshotBytes()));
}

void TestFrmZLS740::layoutAndCaptions()
{
    FrmZLS740 form;
    form.load(dir_.path());
    QCOMPARE(form.objectName(), QStringLiteral("frmZLS740"));
    QCOMPARE(form.windowTitle(), QStringLiteral("ZLS 740"));
    // 6240 x 4545 twips and fixed.
    QCOMPARE(form.size(), QSize(416, 303));
    QCOMPARE(form.minimumSize(), form.maximumSize());

    auto *tp = form.findChild<TwistedPixel *>(QStringLiteral("tpBMP"));
    QCOMPARE(tp->geometry(), QRect(8, 8, 321, 249));
    QVERIFY(!tp->isHidden());
    auto *pic = form.findChild<PictureBox *>(QStringLiteral("picBMP"));
    QCOMPARE(pic->geometry(), QRect(8, 8, 320, 256));
    QVERIFY(pic->isHidden());
    auto *frame = form.findChild<QGroupBox *>(QStringLiteral("Frame1"));
    QCOMPARE(frame->title(), QStringLiteral("File format"));
    QCOMPARE(frame->geometry(), QRect(336, 0, 73, 257));
    auto *line = form.findChild<QFrame *>(QStringLiteral("Line1"));
    QCOMPARE(line->geometry(), QRect(0, 264, 416, 1));

    const struct {
        const char *name, *caption;
        int left;
    } buttons[] = {{"cmdPrint", "Print", 200}, {"cmdSave", "Save", 272}, {"cmdClose", "Close", 344}};
    for (const auto &b : buttons) {
        auto *button = form.findChild<QPushButton *>(QString::fromLatin1(b.name));
        QVERIFY(button);
        QCOMPARE(button->text(), QString::fromLatin1(b.caption));
        QCOMPARE(button->geometry(), QRect(b.left, 272, 65, 25));
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }

    const struct {
        const char *caption;
        int top;
        bool shown;
    } options[] = {{"wmf", 160, false}, {"bmp", 16, true},  {"gif", 136, false},
                   {"Ico", 184, false}, {"cur", 208, false}, {"pcx", 40, true},
                   {"tif", 64, true},   {"png", 88, true},  {"jpg", 112, true}};
    for (int i = 0; i < 9; ++i) {
        QRadioButton *op = option(form, i);
        QVERIFY(op);
        QCOMPARE(op->parentWidget(), frame);
        QCOMPARE(op->text(), QString::fromLatin1(options[i].caption));
        QCOMPARE(op->geometry(), QRect(16, options[i].top, 53, 17));
        QCOMPARE(!op->isHidden(), options[i].shown);
        QCOMPARE(op->isChecked(), i == 8);
    }
    QCOMPARE(form.fileTypeCode(), qint16(11));
    QCOMPARE(form.fileExtension(), QStringLiteral("jpg"));
}

void TestFrmZLS740::tabOrderFollowsTheTabIndices()
{
    FrmZLS740 form;
    form.load(dir_.path());
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.findChild<QPushButton *>(QStringLiteral("cmdPrint"))->setFocus();
    // Tab stops at the buttons in tab-index order, then at the selected option
    // of the group (the other options are reached with the arrow keys).
    const QStringList expected{QStringLiteral("cmdClose"), QStringLiteral("cmdSave"), QStringLiteral("opFiletype_8"),
                               QStringLiteral("cmdPrint")};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, expected);

    // With png selected, Tab from cmdSave lands on png.
    QTest::mouseClick(option(form, 7), Qt::LeftButton);
    form.findChild<QPushButton *>(QStringLiteral("cmdSave"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), option(form, 7));
}

void TestFrmZLS740::optionsSetCodeAndExtension()
{
    FrmZLS740 form;
    form.load(dir_.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const struct {
        int index;
        qint16 code;
        const char *extension;
    } clicks[] = {{1, 4, "bmp"}, {5, 8, "pcx"}, {6, 9, "tif"}, {7, 10, "png"}, {8, 11, "jpg"}, {1, 4, "bmp"}};
    for (const auto &c : clicks) {
        QTest::mouseClick(option(form, c.index), Qt::LeftButton);
        QCOMPARE(form.fileTypeCode(), c.code);
        QCOMPARE(form.fileExtension(), QString::fromLatin1(c.extension));
    }
    // Clicking the option already selected changes nothing.
    QTest::mouseClick(option(form, 1), Qt::LeftButton);
    QCOMPARE(form.fileTypeCode(), qint16(4));
    QCOMPARE(form.fileExtension(), QStringLiteral("bmp"));
    // The hidden options keep the same rule: code index + 3, extension its caption.
    const struct {
        int index;
        qint16 code;
        const char *extension;
    } hidden[] = {{0, 3, "wmf"}, {2, 5, "gif"}, {3, 6, "Ico"}, {4, 7, "cur"}};
    for (const auto &h : hidden) {
        option(form, h.index)->setChecked(true);
        QCOMPARE(form.fileTypeCode(), h.code);
        QCOMPARE(form.fileExtension(), QString::fromLatin1(h.extension));
    }
    // Arrow keys inside the group choose too.
    option(form, 6)->setChecked(true);
    option(form, 6)->setFocus();
    QTest::keyClick(option(form, 6), Qt::Key_Down);
    QCOMPARE(form.fileTypeCode(), qint16(10));
    QCOMPARE(form.fileExtension(), QStringLiteral("png"));
}

void TestFrmZLS740::startupShowsTheSnapshot()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    QVERIFY(writeFile(dir_.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(4)));
    bool checked = false;
    QTimer::singleShot(0, this, [&] {
        FrmZLS740 *form = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                form = qobject_cast<FrmZLS740 *>(w);
        if (form) {
            checked = shownPicture(*form) == SnapshotLoader::decode(snapshotBytes(4), QString())
                && form->fileTypeCode() == 11 && form->fileExtension() == QStringLiteral("jpg");
            form->close();
        }
    });
    QStringList reports;
    const int code = Pictorix::run(*app, dir_.path(), [&](const QString &text) { reports.append(text); });
    QCOMPARE(code, 0);
    QVERIFY(reports.isEmpty());
    QVERIFY(checked);
}

void TestFrmZLS740::startupFailureReportsAndNeverShowsTheWindow_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("report");
    QTest::newRow("no snapshot") << QByteArray() << false << QStringLiteral("Run-time error '53':\n\nFile not found: ");
    QTest::newRow("empty") << QByteArray() << true << QStringLiteral("Run-time error '481':\n\nInvalid picture: ");
    QTest::newRow("truncated") << snapshotBytes().left(20000) << true << QStringLiteral("Run-time error '481':\n\nInvalid picture: ");
    QTest::newRow("not a picture") << QByteArray(38518, 'x') << true << QStringLiteral("Run-time error '481':\n\nInvalid picture: ");
}

void TestFrmZLS740::startupFailureReportsAndNeverShowsTheWindow()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    QFETCH(QString, report);
    QTemporaryDir dir;
    if (present)
        QVERIFY(writeFile(dir.filePath(QStringLiteral("Temp.bmp")), bytes));
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    // Should the window ever show, this closes it so the test ends and fails.
    bool windowShown = false;
    QTimer closer; // local, so it cannot fire in a later test
    closer.setSingleShot(true);
    connect(&closer, &QTimer::timeout, this, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<FrmZLS740 *>(w)) {
                windowShown = true;
                w->close();
            }
    });
    closer.start(0);
    QStringList reports;
    const int code = Pictorix::run(*app, dir.path(), [&](const QString &text) {
        for (QWidget *w : QApplication::topLevelWidgets())
            windowShown = windowShown || (w->isVisible() && qobject_cast<FrmZLS740 *>(w));
        reports.append(text);
    });
    QVERIFY(code != 0);
    QVERIFY(!windowShown);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(report), qPrintable(reports[0]));
    QVERIFY2(reports[0].endsWith(dir.filePath(QStringLiteral("Temp.bmp"))) || reports[0].contains(QStringLiteral("Temp.bmp (")),
             qPrintable(reports[0]));
    // The tool never touches the snapshot file.
    if (present)
        QCOMPARE(readFile(dir.filePath(QStringLiteral("Temp.bmp"))), bytes);
}

void TestFrmZLS740::eachInstanceKeepsItsOwnSnapshot()
{
    FrmZLS740 first;
    first.load(dir_.path());
    QVERIFY(writeFile(dir_.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(9)));
    FrmZLS740 second;
    second.load(dir_.path());
    QCOMPARE(shownPicture(first), SnapshotLoader::decode(snapshotBytes(0), QString()));
    QCOMPARE(shownPicture(second), SnapshotLoader::decode(snapshotBytes(9), QString()));
}

void TestFrmZLS740::closeEndsTheProgram()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    QTimer::singleShot(0, this, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<FrmZLS740 *>(w))
                QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
    });
    MessageBoxWatcher watcher; // Close asks nothing
    QCOMPARE(Pictorix::run(*app, dir_.path(), [](const QString &) {}), 0);
    QVERIFY(watcher.seen().empty());
    QCOMPARE(readFile(dir_.filePath(QStringLiteral("Temp.bmp"))), snapshotBytes());
}

QTEST_MAIN(TestFrmZLS740)
#include "tst_FrmZLS740.moc"
