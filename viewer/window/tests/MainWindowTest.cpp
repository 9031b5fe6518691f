// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "LiveView.h"
#include "MainWindow.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace korvane;
using namespace korvane::test;

namespace {

void clickOk(QWidget* box)
{
    auto* message = qobject_cast<QMessageBox*>(box);
    if (message && message->button(QMessageBox::Ok))
        message->button(QMessageBox::Ok)->click();
    else
        box->close();
}

const QString kStartMarks = QStringLiteral("Connect Pause Color* Save/Print-");
const QString kLinkedMarks = QStringLiteral("Connect* Pause Color* Save/Print");

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithItsMenusAndMarks();
    void unknownCommandIdIsNotHandled();
    void pauseAndColorMarksMirrorTheFlags();
    void failedConnectShowsOwnedErrorAndChangesNoMark();
    void connectLostLinkAndReconnect();
    void connectWhileConnectedDoesNothing();
    void savePrintHandsTheSnapshotOn_data();
    void savePrintHandsTheSnapshotOn();
    void aboutKeysAreTheTypedCharacters();
    void endsWithCodeZero_data();
    void endsWithCodeZero();
};

void MainWindowTest::startsWithItsMenusAndMarks()
{
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    QCOMPARE(rig.window->liveView()->size(), QSize(320, 240));
    // The link log is created anew, empty, at window creation.
    QVERIFY(QFile::exists(rig.file("log.txt")));
    QCOMPARE(rig.log().size(), 0);

    QStringList items;
    for (const QAction* menu : rig.window->menuBar()->actions()) {
        items << menu->text() + ":";
        for (const QAction* item : menu->menu()->actions()) {
            items << (item->isSeparator() ? QStringLiteral("-") : item->text() + "=" + QString::number(item->data().toInt()));
            // No item has a shortcut of its own; only the About keys exist.
            QVERIFY(item->shortcut().isEmpty());
        }
    }
    QCOMPARE(items, (QStringList{"&File:", "Connect=32771", "Pause=32779", "-", "Color=32778", "Save/Print=32773", "-",
                                 "E&xit=105", "&Help:", "About ...=104"}));
    // Colour on, not paused, never connected.
    QCOMPARE(rig.marks(), kStartMarks);
}

void MainWindowTest::unknownCommandIdIsNotHandled()
{
    Rig rig;
    ModalWatcher watcher(&clickOk);
    for (int id : {0, 1, 2, 103, 106, 109, 32770, 32772, 32774, 32780, 40000})
        QVERIFY2(!rig.window->runCommand(id), qPrintable(QString::number(id)));
    QVERIFY(rig.window->isVisible());
    QCOMPARE(rig.window->engine().isPaused(), 0);
    QCOMPARE(rig.window->engine().isColorMode(), 1);
    QCOMPARE(rig.window->engine().isConnected(), 0);
    QCOMPARE(rig.marks(), kStartMarks);
    QVERIFY(watcher.seen().isEmpty());
    QCOMPARE(rig.log().size(), 0);
}

void MainWindowTest::pauseAndColorMarksMirrorTheFlags()
{
    Rig rig;
    // Through runCommand, and through the menu items, which flip their own
    // mark before the command runs: either way mark and flag agree.
    for (int round = 0; round < 4; ++round) {
        if (round % 2 == 0) {
            rig.run(CommandId::Pause);
            rig.run(CommandId::Color);
        } else {
            rig.window->action(CommandId::Pause)->trigger();
            rig.window->action(CommandId::Color)->trigger();
        }
        const bool paused = round % 2 == 0;
        QCOMPARE(rig.window->engine().isPaused(), paused ? 1 : 0);
        QCOMPARE(rig.window->engine().isColorMode(), paused ? 0 : 1);
        QCOMPARE(rig.marks(), paused ? "Connect Pause* Color Save/Print-" : kStartMarks);
    }
}

void MainWindowTest::failedConnectShowsOwnedErrorAndChangesNoMark()
{
    Rig rig;
    ModalWatcher watcher(&clickOk);
    // Chosen from the menu: the item flips its own mark, the command puts it back.
    rig.window->action(CommandId::Connect)->trigger();
    QCOMPARE(watcher.seen(), QStringList{"QMessageBox"});
    QCOMPARE(watcher.titles(), QStringList{"DSO Connection Error"});
    QCOMPARE(watcher.lastParent(), rig.window.get());
    QCOMPARE(rig.window->engine().isConnected(), 0);
    QCOMPARE(rig.marks(), kStartMarks);

    // Probing found nothing, so the next Connect probes and fails again.
    rig.run(CommandId::Connect);
    QCOMPARE(watcher.seen().size(), 2);
    QCOMPARE(rig.log(), QByteArray("C\0\0C\0\0", 6));
}

void MainWindowTest::connectLostLinkAndReconnect()
{
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = 3;  // the probe's answer and two screens
    options.reopenAfterMs = 200;
    Rig rig(options);
    MainWindow& window = *rig.window;
    rig.run(CommandId::Connect);
    QCOMPARE(window.engine().isConnected(), 1);
    QCOMPARE(rig.marks(), kLinkedMarks);

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
    rig.run(CommandId::Connect);
    QCOMPARE(rig.log(), QByteArray("C"));

    // No screen comes any more, yet the view is repainted once the link has
    // ended, so that the hint replaces the last picture.
    EventCounter paints(window.liveView(), QEvent::Paint);
    box->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.engine().isConnected(), 0, kDeadlineMs);
    QTRY_VERIFY_WITH_TIMEOUT(window.lostLinkBox() == nullptr, kDeadlineMs);
    QTRY_VERIFY_WITH_TIMEOUT(paints.count > 0, kDeadlineMs);
    // Neither mark is taken back.
    QCOMPARE(rig.marks(), kLinkedMarks);

    // The instrument is back: Connect opens the link anew, without a probe.
    QVERIFY(rig.simulator->waitForLinkState(true, kDeadlineMs));
    const std::uint64_t sent = rig.simulator->framesSent();
    rig.run(CommandId::Connect);
    QCOMPARE(window.engine().isConnected(), 1);
    QVERIFY(rig.simulator->waitForFrames(sent + 1, kDeadlineMs));
    QCOMPARE(rig.log(), QByteArray("CC"));
    QCOMPARE(rig.marks(), kLinkedMarks);

    // Lost again, and this time the port stays away: the next Connect fails
    // with the window's own box and leaves the marks as they are.
    rig.simulator->stop();
    QTRY_VERIFY_WITH_TIMEOUT(window.lostLinkBox() != nullptr, kDeadlineMs);
    window.lostLinkBox()->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.engine().isConnected(), 0, kDeadlineMs);
    QFile::remove(rig.file("COM5"));
    ModalWatcher watcher(&clickOk);
    rig.run(CommandId::Connect);
    QCOMPARE(watcher.titles(), QStringList{"DSO Connection Error"});
    QCOMPARE(watcher.lastParent(), &window);
    QCOMPARE(rig.marks(), kLinkedMarks);
}

void MainWindowTest::connectWhileConnectedDoesNothing()
{
    Rig rig;
    // Not an instrument at COM2 (its answers are too short for the probe),
    // so no probe succeeds and the link is opened on COM2 all the same.
    zls740sim::SimulatorOptions shortAnswers;
    shortAnswers.answerBytes = 10;
    auto device = startSimulator(rig.dir.path(), 2, shortAnswers);
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    auto listener = startSimulator(rig.dir.path(), 9, silent);

    rig.run(CommandId::Connect);
    QCOMPARE(rig.window->engine().isConnected(), 1);
    QVERIFY(!rig.window->engine().portFound());
    QCOMPARE(listener->requestCount(), 1u);  // the probe asked COM9 once

    // Connected: a second Connect neither probes (COM9 hears nothing) nor
    // opens anything (no "C" logged).
    rig.run(CommandId::Connect);
    QCOMPARE(listener->requestCount(), 1u);
    QCOMPARE(rig.log(), QByteArray("C"));
    rig.window.reset();  // the reader thread ends before the simulators go
}

void MainWindowTest::savePrintHandsTheSnapshotOn_data()
{
    QTest::addColumn<bool>("toolThere");
    QTest::newRow("image tool started") << true;
    QTest::newRow("no image tool") << false;
}

void MainWindowTest::savePrintHandsTheSnapshotOn()
{
    QFETCH(bool, toolThere);
    Rig rig(zls740sim::SimulatorOptions{});
    const QString marker = rig.file("tool-started");
    if (toolThere)
        addImageToolStandIn(rig.dir.path(), marker);
    ModalWatcher boxes(&clickOk);
    // Before the first screen there is nothing to hand on: nothing is
    // written, nothing started, nothing reported.
    rig.run(CommandId::Pause);
    rig.run(CommandId::Connect);
    rig.run(CommandId::SavePrint);
    QVERIFY(!QFile::exists(rig.file("Temp.bmp")));
    rig.run(CommandId::Pause);

    QVERIFY(rig.waitForScreen());
    rig.run(CommandId::SavePrint);
    // Either way the snapshot is there, for the tool or for the user to pick up.
    const QByteArray snapshot = fileBytes(rig.file("Temp.bmp"));
    QCOMPARE(snapshot.size(), 38518);
    QVERIFY(snapshot.startsWith("BM"));
    if (toolThere) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), kDeadlineMs);
        QVERIFY(boxes.seen().isEmpty());
    } else {
        QCOMPARE(boxes.seen(), QStringList{"QMessageBox"});
        QCOMPARE(boxes.lastParent(), rig.window.get());
    }
}

void MainWindowTest::aboutKeysAreTheTypedCharacters()
{
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    rig.window->activateWindow();
    const struct {
        char character;
        Qt::KeyboardModifiers modifiers;
        bool opensAbout;
    } keys[] = {
        {'?', Qt::AltModifier | Qt::ShiftModifier, true},
        {'/', Qt::AltModifier, true},
        {'/', Qt::NoModifier, false},
        {'?', Qt::ShiftModifier, false},
        {'/', Qt::ControlModifier | Qt::AltModifier, false},
        {'a', Qt::AltModifier, false},
        {'h', Qt::AltModifier, false},  // opens the Help menu, not the box
    };
    for (const auto& key : keys) {
        ModalWatcher watcher([](QWidget* modal) { modal->close(); });
        QTest::keyClick(rig.window->liveView(), key.character, key.modifiers);
        // Any menu a key opened is closed again before the next key.
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        const QStringList expected = key.opensAbout ? QStringList{"korvane::AboutBox"} : QStringList{};
        QVERIFY2(watcher.seen() == expected, qPrintable(QStringLiteral("key %1 with %2: %3")
                                                            .arg(key.character).arg(int(key.modifiers))
                                                            .arg(watcher.seen().join(','))));
        if (key.opensAbout)
            QCOMPARE(watcher.lastParent(), rig.window.get());
    }
    QCOMPARE(rig.marks(), kStartMarks);
    QCOMPARE(rig.window->engine().isConnected(), 0);
}

void MainWindowTest::endsWithCodeZero_data()
{
    QTest::addColumn<bool>("lostLinkBoxOpen");
    QTest::newRow("Exit from the menu") << false;
    // The close box, while the reader thread waits for the user to answer its box.
    QTest::newRow("close box, lost-link box open") << true;
}

void MainWindowTest::endsWithCodeZero()
{
    QFETCH(bool, lostLinkBoxOpen);
    zls740sim::SimulatorOptions options;
    options.closeAfterFrames = lostLinkBoxOpen ? 2 : 0;
    Rig rig(options);
    rig.run(CommandId::Connect);
    if (lostLinkBoxOpen)
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->lostLinkBox() != nullptr, kDeadlineMs);
    else
        QVERIFY(rig.simulator->waitForFrames(3, kDeadlineMs));
    QPointer<QMessageBox> box = rig.window->lostLinkBox();

    // Inside the program's own event loop.
    QTimer::singleShot(0, rig.window.get(), [&] {
        if (lostLinkBoxOpen)
            rig.window->close();
        else
            rig.window->action(CommandId::Exit)->trigger();
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(box.isNull());
    QCOMPARE(rig.window->engine().isConnected(), 0);
    // The reader thread has ended: no request goes out any more.
    const std::uint64_t requests = rig.simulator->requestCount();
    QTest::qWait(100);
    QCOMPARE(rig.simulator->requestCount(), requests);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
