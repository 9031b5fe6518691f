// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "AboutBox.h"
#include "LiveView.h"
#include "MainWindow.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace korvane;
using namespace korvane::test;

namespace {

struct ItemState {
    bool enabled;
    bool checked;
};

ItemState state(const MainWindow& window, CommandId id)
{
    const QAction* item = window.action(id);
    return {item->isEnabled(), item->isChecked()};
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void clickOk(QWidget* box)
{
    auto* message = qobject_cast<QMessageBox*>(box);
    if (message && message->button(QMessageBox::Ok))
        message->button(QMessageBox::Ok)->click();
    else
        box->close();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsAsTheViewerWindow();
    void menuCaptionsAndCommandIds();
    void unknownCommandIdIsNotHandled();
    void pauseAndColorMarksMirrorTheFlags();
    void failedConnectShowsOwnedErrorAndChangesNoMark();
    void connectLostLinkAndReconnect();
    void connectWhileConnectedDoesNothing();
    void savePrintWritesSnapshotAndStartsTool();
    void savePrintReportsMissingTool();
    void aboutKeysAreTheTypedCharacters();
    void exitEndsWithCodeZero();
    void closingWithLostLinkBoxOpenEndsTheProgram();
};

void MainWindowTest::startsAsTheViewerWindow()
{
    QTemporaryDir dir;
    MainWindow window(dir.path().toStdString());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Korvane"));
    QCOMPARE(window.liveView()->size(), QSize(320, 240));
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(window.liveView()->cursor().shape(), Qt::ArrowCursor);
    QList<QSize> sizes = window.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(72, 72)));
    // The link log is created anew, empty, at window creation.
    QVERIFY(QFile::exists(QDir(dir.path()).filePath("log.txt")));
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("log.txt")).size(), 0);
}

void MainWindowTest::menuCaptionsAndCommandIds()
{
    QTemporaryDir dir;
    MainWindow window(dir.path().toStdString());
    const QList<QAction*> bar = window.menuBar()->actions();
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar[0]->text(), QStringLiteral("&File"));
    QCOMPARE(bar[1]->text(), QStringLiteral("&Help"));

    QStringList file;
    for (const QAction* item : bar[0]->menu()->actions())
        file << (item->isSeparator() ? QStringLiteral("-") : item->text() + "=" + QString::number(item->data().toInt()));
    QCOMPARE(file, (QStringList{"Connect=32771", "Pause=32779", "-", "Color=32778", "Save/Print=32773", "-",
                                "E&xit=105"}));
    QStringList help;
    for (const QAction* item : bar[1]->menu()->actions())
        help << item->text() + "=" + QString::number(item->data().toInt());
    QCOMPARE(help, QStringList{"About ...=104"});

    // The marks agree with the flags at start: colour on, not paused, not connected.
    QCOMPARE(state(window, CommandId::Connect).checked, false);
    QCOMPARE(state(window, CommandId::Connect).enabled, true);
    QCOMPARE(state(window, CommandId::Pause).checked, false);
    QCOMPARE(state(window, CommandId::Color).checked, true);
    QCOMPARE(state(window, CommandId::SavePrint).enabled, false);
    QCOMPARE(state(window, CommandId::Exit).enabled, true);
    QCOMPARE(state(window, CommandId::About).enabled, true);
    // No item has a shortcut of its own; only the About keys exist.
    for (const QAction* item : bar[0]->menu()->actions() + bar[1]->menu()->actions())
        QVERIFY(item->shortcut().isEmpty());
}

void MainWindowTest::unknownCommandIdIsNotHandled()
{
    QTemporaryDir dir;
    MainWindow window(dir.path().toStdString());
    window.show();
    ModalWatcher watcher(&clickOk);
    for (int id : {0, 1, 2, 103, 106, 109, 32770, 32772, 32774, 32780, 40000})
        QVERIFY2(!window.runCommand(id), qPrintable(QString::number(id)));
    QVERIFY(window.isVisible());
    QCOMPARE(window.engine().isPaused(), 0);
    QCOMPARE(window.engine().isColorMode(), 1);
    QCOMPARE(window.engine().isConnected(), 0);
    QCOMPARE(state(window, CommandId::Pause).checked, false);
    QCOMPARE(state(window, CommandId::Color).checked, true);
    QVERIFY(watcher.seen().isEmpty());
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("log.txt")).size(), 0);
}

void MainWindowTest::pauseAndColorMarksMirrorTheFlags()
{
    QTemporaryDir dir;
    MainWindow window(dir.path().toStdString());
    // Through runCommand, and through the menu items, which flip their own
    // mark before the command runs: either way mark and flag agree.
    for (int round = 0; round < 4; ++round) {
        if (round % 2 == 0) {
            window.runCommand(int(CommandId::Pause));
            window.runCommand(int(CommandId::Color));
        } else {
            window.action(CommandId::Pause)->trigger();
            window.action(CommandId::Color)->trigger();
        }
        const bool pausedNow = round % 2 == 0;
        QCOMPARE(window.engine().isPaused(), pausedNow ? 1 : 0);
        QCOMPARE(state(window, CommandId::Pause).checked, pausedNow);
        QCOMPARE(window.engine().isColorMode(), pausedNow ? 0 : 1);
        QCOMPARE(state(window, CommandId::Color).checked, !pausedNow);
    }
}

void MainWindowTest::failedConnectShowsOwnedErrorAndChangesNoMark()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    MainWindow window(dir.path().toStdString());
    window.show();
    ModalWatcher watcher(&clickOk);
    // Chosen from the menu: the item flips its own mark, the command puts it back.
    window.action(CommandId::Connect)->trigger();
    QCOMPARE(watcher.seen(), QStringList{"QMessageBox"});
    QCOMPARE(watcher.titles(), QStringList{"DSO Connection Error"});
    QCOMPARE(watcher.lastParent(), &window);
    QCOMPARE(window.engine().isConnected(), 0);
    QCOMPARE(state(window, CommandId::Connect).checked, false);
    QCOMPARE(state(window, CommandId::SavePrint).enabled, false);

    // Probing found nothing, so the next Connect probes and fails again.
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(watcher.seen().size(), 2);
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("log.txt")), QByteArray("C\0\0C\0\0", 6));
}

void MainWindowTest::connectLostLinkAndReconnect()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 3;  // the probe's answer and two screens
    options.reopenAfterMs = 200;
    auto simulator = startSimulator(dir.path(), 5, options);

    MainWindow window(dir.path().toStdString());
    window.show();
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(window.engine().isConnected(), 1);
    QCOMPARE(state(window, CommandId::Connect).checked, true);
    QCOMPARE(state(window, CommandId::SavePrint).enabled, true);

    // The instrument vanishes: the reader thread reports it with a box of
    // its own, owned by no window, not modal to the main window.
    QTRY_VERIFY_WITH_TIMEOUT(window.lostLinkBox() != nullptr, kDeadlineMs);
    QMessageBox* box = window.lostLinkBox();
    QCOMPARE(box->text(), QStringLiteral("DSO Connection Error"));
    QCOMPARE(box->windowTitle(), QStringLiteral("DSO Connection Error"));
    QCOMPARE(box->buttons().size(), 1);
    QVERIFY(box->parentWidget() == nullptr);
    QCOMPARE(box->windowModality(), Qt::NonModal);
    // Until the user closes it the link counts as up, so Connect does nothing.
    QCOMPARE(window.engine().isConnected(), 1);
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("log.txt")), QByteArray("C"));

    PaintCounter paints;
    window.liveView()->installEventFilter(&paints);
    box->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.engine().isConnected(), 0, kDeadlineMs);
    QTRY_VERIFY_WITH_TIMEOUT(window.lostLinkBox() == nullptr, kDeadlineMs);
    // No screen comes any more, yet the view is repainted once the link has
    // ended, so that the hint replaces the last picture.
    QTRY_VERIFY_WITH_TIMEOUT(paints.paints > 0, kDeadlineMs);
    window.liveView()->removeEventFilter(&paints);
    // Neither mark is taken back.
    QCOMPARE(state(window, CommandId::Connect).checked, true);
    QCOMPARE(state(window, CommandId::SavePrint).enabled, true);

    // The instrument is back: Connect opens the link anew, without a probe.
    QVERIFY(simulator->waitForLinkState(true, kDeadlineMs));
    const std::uint64_t sent = simulator->framesSent();
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(window.engine().isConnected(), 1);
    QVERIFY(simulator->waitForFrames(sent + 1, kDeadlineMs));
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("log.txt")), QByteArray("CC"));
    QCOMPARE(state(window, CommandId::Connect).checked, true);
    QCOMPARE(state(window, CommandId::SavePrint).enabled, true);

    // Lost again, and this time the port stays away: the next Connect fails
    // with the window's own box and leaves the marks as they are.
    simulator->stop();
    QTRY_VERIFY_WITH_TIMEOUT(window.lostLinkBox() != nullptr, kDeadlineMs);
    window.lostLinkBox()->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.engine().isConnected(), 0, kDeadlineMs);
    QFile::remove(QDir(dir.path()).filePath("COM5"));
    ModalWatcher watcher(&clickOk);
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(watcher.titles(), QStringList{"DSO Connection Error"});
    QCOMPARE(watcher.lastParent(), &window);
    QCOMPARE(state(window, CommandId::Connect).checked, true);
    QCOMPARE(state(window, CommandId::SavePrint).enabled, true);
}

void MainWindowTest::connectWhileConnectedDoesNothing()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    // Not an instrument at COM2 (its answers are too short for the probe),
    // so no probe succeeds and the link is opened on COM2 all the same.
    zls740sim::SimulatorOptions shortAnswers;
    shortAnswers.answerBytes = 10;
    auto device = startSimulator(dir.path(), 2, shortAnswers);
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    auto watcher = startSimulator(dir.path(), 9, silent);

    MainWindow window(dir.path().toStdString());
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(window.engine().isConnected(), 1);
    QVERIFY(!window.engine().portFound());
    QCOMPARE(watcher->requestCount(), 1u);  // the probe asked COM9 once

    // Connected: a second Connect neither probes (COM9 hears nothing) nor
    // opens anything (no "C" logged).
    window.runCommand(int(CommandId::Connect));
    QCOMPARE(watcher->requestCount(), 1u);
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("log.txt")), QByteArray("C"));
    window.runCommand(int(CommandId::Exit));
}

void MainWindowTest::savePrintWritesSnapshotAndStartsTool()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    const QString marker = QDir(dir.path()).filePath("tool-started");
    addImageToolStandIn(dir.path(), marker);
    auto simulator = startSimulator(dir.path(), 5);

    MainWindow window(dir.path().toStdString());
    window.show();
    window.runCommand(int(CommandId::Connect));
    ModalWatcher boxes(&clickOk);
    // Before the first screen there is nothing to hand on: nothing is
    // written, nothing started, nothing reported.
    window.runCommand(int(CommandId::Pause));
    window.runCommand(int(CommandId::SavePrint));
    QVERIFY(!QFile::exists(QDir(dir.path()).filePath("Temp.bmp")));
    window.runCommand(int(CommandId::Pause));

    QVERIFY(QTest::qWaitFor([&] { return window.engine().screen().read([](const ScreenView&) {}); }, kDeadlineMs));
    QVERIFY(window.runCommand(int(CommandId::SavePrint)));
    const QByteArray snapshot = fileBytes(QDir(dir.path()).filePath("Temp.bmp"));
    QCOMPARE(snapshot.size(), 38518);
    QVERIFY(snapshot.startsWith("BM"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), kDeadlineMs);
    QVERIFY(boxes.seen().isEmpty());
    window.runCommand(int(CommandId::Exit));
}

void MainWindowTest::savePrintReportsMissingTool()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    auto simulator = startSimulator(dir.path(), 5);
    // No image tool in the working directory and no program folder.
    MainWindow window(dir.path().toStdString(), {});
    window.show();
    window.runCommand(int(CommandId::Connect));
    QVERIFY(QTest::qWaitFor([&] { return window.engine().screen().read([](const ScreenView&) {}); }, kDeadlineMs));

    ModalWatcher boxes(&clickOk);
    window.runCommand(int(CommandId::SavePrint));
    QCOMPARE(boxes.seen(), QStringList{"QMessageBox"});
    QCOMPARE(boxes.lastParent(), &window);
    // The snapshot is there for the user to pick up.
    QCOMPARE(fileBytes(QDir(dir.path()).filePath("Temp.bmp")).size(), 38518);
    window.runCommand(int(CommandId::Exit));
}

void MainWindowTest::aboutKeysAreTheTypedCharacters()
{
    QTemporaryDir dir;
    MainWindow window(dir.path().toStdString());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QWidget* target = window.liveView();

    struct Key {
        char character;
        Qt::KeyboardModifiers modifiers;
        bool opensAbout;
    };
    const Key keys[] = {
        {'?', Qt::AltModifier | Qt::ShiftModifier, true},
        {'/', Qt::AltModifier, true},
        {'/', Qt::NoModifier, false},
        {'?', Qt::ShiftModifier, false},
        {'/', Qt::ControlModifier | Qt::AltModifier, false},
        {'a', Qt::AltModifier, false},
        {'h', Qt::AltModifier, false},  // opens the Help menu, not the box
    };
    for (const Key& key : keys) {
        ModalWatcher watcher([](QWidget* modal) { modal->close(); });
        QTest::keyClick(target, key.character, key.modifiers);
        // Any menu a key opened is closed again before the next key.
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        const QStringList expected = key.opensAbout ? QStringList{"korvane::AboutBox"} : QStringList{};
        QVERIFY2(watcher.seen() == expected,
                 qPrintable(QStringLiteral("key %1 with %2: %3")
                                .arg(key.character).arg(int(key.modifiers)).arg(watcher.seen().join(','))));
        if (key.opensAbout)
            QCOMPARE(watcher.lastParent(), &window);
    }
    QCOMPARE(window.engine().isPaused(), 0);
    QCOMPARE(window.engine().isColorMode(), 1);
    QCOMPARE(window.engine().isConnected(), 0);
}

void MainWindowTest::exitEndsWithCodeZero()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    auto simulator = startSimulator(dir.path(), 5);
    MainWindow window(dir.path().toStdString());
    window.show();
    window.runCommand(int(CommandId::Connect));
    QVERIFY(simulator->waitForFrames(3, kDeadlineMs));

    // Exit from the menu, inside the program's own event loop.
    QTimer::singleShot(0, &window, [&] { window.action(CommandId::Exit)->trigger(); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.engine().isConnected(), 0);
    // The reader thread has ended: no request goes out any more.
    const std::uint64_t requests = simulator->requestCount();
    QTest::qWait(100);
    QCOMPARE(simulator->requestCount(), requests);
}

void MainWindowTest::closingWithLostLinkBoxOpenEndsTheProgram()
{
    QTemporaryDir dir;
    addDeadPorts(dir.path());
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 2;
    auto simulator = startSimulator(dir.path(), 5, options);
    MainWindow window(dir.path().toStdString());
    window.show();
    window.runCommand(int(CommandId::Connect));
    QTRY_VERIFY_WITH_TIMEOUT(window.lostLinkBox() != nullptr, kDeadlineMs);
    QPointer<QMessageBox> box = window.lostLinkBox();

    // The close box of the main window, while the reader thread waits for
    // the user to answer its box.
    QTimer::singleShot(0, &window, [&] { window.close(); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(box.isNull());
    QCOMPARE(window.engine().isConnected(), 0);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
