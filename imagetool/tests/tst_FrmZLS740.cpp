// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "FrmZLS740.h"
#include "MessageBoxWatcher.h"
#include "Pictorix.h"
#include "PictureBox.h"
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
    void startupShowsTheSnapshotAndCloseEndsTheProgram();
    void startupFailureReportsAndNeverShowsTheWindow_data();
    void startupFailureReportsAndNeverShowsTheWindow();
    void eachInstanceKeepsItsOwnSnapshot();

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
    QCOMPARE(form.windowTitle(), QStringLiteral("ZLS 740"));
    // 6240 x 4545 twips and fixed.
    QCOMPARE(form.size(), QSize(416, 303));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.findChild<TwistedPixel *>(QStringLiteral("tpBMP"))->geometry(), QRect(8, 8, 321, 249));
    QVERIFY(form.findChild<PictureBox *>(QStringLiteral("picBMP"))->isHidden());
    // Enter does nothing: no button is a default one.
    for (auto *button : form.findChildren<QPushButton *>())
        QVERIFY(!button->isDefault() && !button->autoDefault());

    // Five options shown, top to bottom bmp, pcx, tif, png, jpg; jpg chosen.
    QStringList shownFromTop;
    auto *frame = form.findChild<QGroupBox *>(QStringLiteral("Frame1"));
    for (int top = 0; top < frame->height(); ++top)
        for (int i = 0; i < FrmZLS740::OptionCount; ++i)
            if (option(form, i)->y() == top && !option(form, i)->isHidden())
                shownFromTop << option(form, i)->text();
    QCOMPARE(shownFromTop, (QStringList{"bmp", "pcx", "tif", "png", "jpg"}));
    QVERIFY(option(form, 8)->isChecked());
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
    // Clicked where shown, set where hidden; the last click chooses the
    // option already chosen and changes nothing.
    const struct {
        int index;
        qint16 code;
        const char *extension;
    } choices[] = {{1, 4, "bmp"}, {5, 8, "pcx"}, {6, 9, "tif"}, {7, 10, "png"}, {8, 11, "jpg"}, {0, 3, "wmf"},
                   {2, 5, "gif"}, {3, 6, "Ico"}, {4, 7, "cur"}, {1, 4, "bmp"}, {1, 4, "bmp"}};
    for (const auto &c : choices) {
        if (option(form, c.index)->isHidden())
            option(form, c.index)->setChecked(true);
        else
            QTest::mouseClick(option(form, c.index), Qt::LeftButton);
        QCOMPARE(form.fileTypeCode(), c.code);
        QCOMPARE(form.fileExtension(), QString::fromLatin1(c.extension));
    }
    // Arrow keys inside the group choose too.
    option(form, 6)->setChecked(true);
    option(form, 6)->setFocus();
    QTest::keyClick(option(form, 6), Qt::Key_Down);
    QCOMPARE(form.fileTypeCode(), qint16(10));
    QCOMPARE(form.fileExtension(), QStringLiteral("png"));
}

void TestFrmZLS740::startupShowsTheSnapshotAndCloseEndsTheProgram()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    QVERIFY(writeFile(dir_.filePath(QStringLiteral("Temp.bmp")), snapshotBytes(4)));
    bool checked = false;
    QTimer::singleShot(0, this, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *form = qobject_cast<FrmZLS740 *>(w); form && form->isVisible()) {
                checked = shownPicture(*form) == snapshot(4) && form->fileTypeCode() == 11;
                QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
            }
    });
    MessageBoxWatcher watcher; // Close asks nothing
    QStringList reports;
    QCOMPARE(Pictorix::run(*app, dir_.path(), [&](const QString &text) { reports.append(text); }), 0);
    QVERIFY(reports.isEmpty());
    QVERIFY(watcher.seen().empty());
    QVERIFY(checked);
    QCOMPARE(readFile(dir_.filePath(QStringLiteral("Temp.bmp"))), snapshotBytes(4));
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
    QCOMPARE(shownPicture(first), snapshot(0));
    QCOMPARE(shownPicture(second), snapshot(9));
}

QTEST_MAIN(TestFrmZLS740)
#include "tst_FrmZLS740.moc"
