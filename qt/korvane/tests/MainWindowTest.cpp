// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "MainWindow.h"
#include "LiveView.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace korvane;
using namespace korvane::test;

namespace {

const QString kStartMarks = QStringLiteral("Connect Pause Color* Save/Print-");
const QString kLinkedMarks = QStringLiteral("Connect* Pause Color* Save/Print");
const QStringList kOwnedError{QStringLiteral("DSO Connection Error in korvane::MainWindow")};

// Connects to an instrument at COM5 that vanishes after two screens; the
// reader thread's box once it is open, or null.
QMessageBox* loseLink(Rig& rig)
{
    rig.addSimulator(5, [](auto& o) { o.closeAfterFrames = 3; });  // the probe's answer and two screens
    rig.run(CommandId::Connect);
    return QTest::qWaitFor([&] { return rig.window->lostLinkBox() != nullptr; }, kDeadlineMs)
        ? rig.window->lostLinkBox()
        : nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aboutFromItsCommandAndItsKeys();
    void pauseAndColorFlipTheirMarksAndFlags();
    void failedConnectShowsTheWindowsBoxAndChangesNothing();
    void lostLinkBoxIsUnownedAndKeepsTheLinkUntilClosed();
    void connectAfterTheInstrumentIsGoneFailsAndKeepsTheMarks();
    void connectWhileConnectedDoesNotProbe();
    void engineNewsRepaintsTheView_data();
    void engineNewsRepaintsTheView();
    void savePrintWithoutTheImageToolSaysSo();
    void endsWithCodeZero_data();
    void endsWithCodeZero();
};

void MainWindowTest::aboutFromItsCommandAndItsKeys()
{
    Rig rig;
    QCOMPARE(modalBoxesOf([&] { QVERIFY(rig.window->runCommand(int(CommandId::About))); }),
             QStringList{"About in korvane::MainWindow"});
    // Also by its keys, Alt and "?" or "/", whichever widget has the focus; no other key.
    // clang-format off
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, int> keys[] = {
        {Qt::Key_Question, Qt::AltModifier, 1}, {Qt::Key_Slash, Qt::AltModifier, 1},
        {Qt::Key_Slash, Qt::AltModifier | Qt::ControlModifier, 0}, {Qt::Key_A, Qt::AltModifier, 0},
        {Qt::Key_Slash, Qt::NoModifier, 0}};
    // clang-format on
    for (const auto& [key, modifiers, boxes] : keys)
        QCOMPARE(int(modalBoxesOf([&] { QTest::keyClick(rig.window->liveView(), key, modifiers); }).size()), boxes);
}

void MainWindowTest::pauseAndColorFlipTheirMarksAndFlags()
{
    Rig rig;
    MainWindow& window = *rig.window;
    QCOMPARE(rig.marks(), kStartMarks);
    // Chosen from the menu, Pause and Color flip their own mark; the flags follow.
    window.action(CommandId::Pause)->trigger();
    window.action(CommandId::Color)->trigger();
    QCOMPARE(rig.marks(), QStringLiteral("Connect Pause* Color Save/Print-"));
    QCOMPARE(std::pair(window.engine().isPaused(), window.engine().isColorMode()), std::pair(1, 0));
    rig.run(CommandId::Pause);
    rig.run(CommandId::Color);
    QCOMPARE(rig.marks(), kStartMarks);
    QCOMPARE(rig.log().size(), 0);
}

void MainWindowTest::failedConnectShowsTheWindowsBoxAndChangesNothing()
{
    Rig rig;
    // No instrument anywhere: the window's own box, and Connect's mark put back.
    QCOMPARE(modalBoxesOf([&] { rig.run(CommandId::Connect); }), kOwnedError);
    QCOMPARE(rig.window->engine().isConnected(), 0);
    QCOMPARE(rig.marks(), kStartMarks);

    // The instrument is there now: Connect searches as the first time did; a
    // silent device at COM9 counts the probes.
    rig.addSimulator(5);
    const zls740sim::Zls740Simulator& listener = rig.addSimulator(9, [](auto& o) { o.silent = true; });
    rig.run(CommandId::Connect);
    QCOMPARE(rig.window->engine().isConnected(), 1);
    QCOMPARE(listener.requestCount(), 1u);
    QCOMPARE(rig.marks(), kLinkedMarks);
}

void MainWindowTest::lostLinkBoxIsUnownedAndKeepsTheLinkUntilClosed()
{
    Rig rig;
    // The reader thread's box, owned by no window and not modal; until the
    // user closes it the link counts as up.
    QMessageBox* box = loseLink(rig);
    QVERIFY(box != nullptr);
    QCOMPARE(box->windowTitle() + "/" + box->text(), QStringLiteral("DSO Connection Error/DSO Connection Error"));
    QVERIFY(box->parentWidget() == nullptr && box->windowModality() == Qt::NonModal);
    QCOMPARE(rig.window->engine().isConnected(), 1);

    // Closed: the link ends (and the view is repainted, engineNewsRepaintsTheView), the marks stay.
    box->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.window->engine().isConnected(), 0, kDeadlineMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.window->lostLinkBox() == nullptr, kDeadlineMs);
    QCOMPARE(rig.marks(), kLinkedMarks);
}

void MainWindowTest::connectAfterTheInstrumentIsGoneFailsAndKeepsTheMarks()
{
    Rig rig;
    QMessageBox* box = loseLink(rig);
    QVERIFY(box != nullptr);
    box->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.window->engine().isConnected(), 0, kDeadlineMs);

    // Lost for good: the next Connect fails, the marks still say a link was once up.
    rig.simulators.front()->stop();
    QFile::remove(rig.file("COM5"));
    QCOMPARE(modalBoxesOf([&] { rig.run(CommandId::Connect); }), kOwnedError);
    QCOMPARE(rig.marks(), kLinkedMarks);
}

void MainWindowTest::connectWhileConnectedDoesNotProbe()
{
    Rig rig;
    // Answers too short for the probe: nothing found, the link opened on COM2 all the same.
    rig.addSimulator(2, [](auto& o) { o.answerBytes = 10; });
    const zls740sim::Zls740Simulator& listener = rig.addSimulator(9, [](auto& o) { o.silent = true; });
    rig.run(CommandId::Connect);
    QCOMPARE(rig.window->engine().isConnected(), 1);
    QVERIFY(!rig.window->engine().portFound());
    QCOMPARE(listener.requestCount(), 1u);

    // Probing now would send requests into the reader thread's port.
    rig.run(CommandId::Connect);
    QCOMPARE(listener.requestCount(), 1u);
    QCOMPARE(rig.log(), QByteArray("C"));
}

void MainWindowTest::engineNewsRepaintsTheView_data()
{
    QTest::addColumn<int>("news");
    QTest::newRow("screen published") << 0;
    QTest::newRow("link closed") << 1;
    QTest::newRow("open failed") << 2;
    QTest::newRow("export started") << 3;
}

// Each piece of the engine's news that changes what the view shows repaints it.
void MainWindowTest::engineNewsRepaintsTheView()
{
    static constexpr void (EngineHost::*kNews[])() = {&EngineHost::screenPublished, &EngineHost::linkClosed,
                                                      &EngineHost::openFailed, &EngineHost::exportStarted};
    QFETCH(int, news);
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    QApplication::processEvents();  // the first paint
    EventCounter paints(rig.window->liveView(), QEvent::Paint);
    (((EngineHost*)rig.window.get())->*kNews[news])();
    QTRY_VERIFY_WITH_TIMEOUT(paints.count > 0, kDeadlineMs);
}

void MainWindowTest::savePrintWithoutTheImageToolSaysSo()
{
    Rig rig;
    rig.addSimulator(5);
    rig.run(CommandId::Connect);
    QVERIFY(rig.waitForScreen());

    // No image tool: the window says so (the snapshot written is the engine's case, the tool
    // started the end-to-end test's).
    QCOMPARE(modalBoxesOf([&] { rig.run(CommandId::SavePrint); }), QStringList{"Korvane in korvane::MainWindow"});
}

void MainWindowTest::endsWithCodeZero_data()
{
    QTest::addColumn<QString>("moment");
    // The close box, while the reader thread waits for the user to answer its box.
    QTest::newRow("close box, lost-link box open") << "lost-link box open";
    // Exit while Connect still searches the ports: the search stops at once.
    QTest::newRow("Exit during the search") << "searching";
    // The reader reports a lost link just as Exit runs: no box may follow.
    QTest::newRow("link lost as Exit begins") << "link lost as Exit begins";
}

void MainWindowTest::endsWithCodeZero()
{
    QFETCH(QString, moment);
    Rig rig;
    const zls740sim::Zls740Simulator& instrument =
        rig.addSimulator(5, [&](auto& o) { o.closeAfterFrames = moment == "lost-link box open" ? 2 : 0; });
    std::vector<const zls740sim::Zls740Simulator*> silent;
    if (moment == "searching") {
        // Ports that never answer: each one holds the search for a while.
        for (int com : {9, 8, 7, 6, 4, 3, 2})
            silent.push_back(&rig.addSimulator(com, [](auto& o) { o.silent = true; }));
        rig.window->action(CommandId::Connect)->trigger();
        QVERIFY(!rig.window->action(CommandId::Connect)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(silent.front()->requestCount() == 1, kDeadlineMs);
    } else {
        rig.run(CommandId::Connect);
    }
    if (moment == "lost-link box open")
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->lostLinkBox() != nullptr, kDeadlineMs);
    else if (moment != "searching")
        QVERIFY(instrument.waitForFrames(3, kDeadlineMs));
    QPointer<QMessageBox> box = rig.window->lostLinkBox();

    // A box left behind would keep the program running: counted and closed.
    int boxesAfterExit = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget != rig.window.get() && widget->isVisible()) {
                ++boxesAfterExit;
                widget->close();
            }
        }
    });
    // In the program's own event loop; the requests each port had when Exit came.
    std::vector<std::uint64_t> askedAtExit;
    QTimer::singleShot(0, rig.window.get(), [&] {
        for (const auto* port : silent)
            askedAtExit.push_back(port->requestCount());
        if (moment == "lost-link box open") {
            rig.window->close();
            return;
        }
        if (moment == "link lost as Exit begins")
            ((EngineHost*)rig.window.get())->linkLost();  // queued, as from the reader thread
        rig.window->action(CommandId::Exit)->trigger();
        watchdog.start(3000);
    });
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(boxesAfterExit, 0);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(box.isNull());
    QCOMPARE(rig.window->engine().isConnected(), 0);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // The reader thread has ended: once the simulator has caught up, no more requests come.
    const auto still = [&] {
        const std::uint64_t requests = instrument.requestCount();
        QTest::qWait(300);
        return instrument.requestCount() == requests;
    };
    QVERIFY(QTest::qWaitFor(still, kDeadlineMs));
    for (std::size_t i = 0; i < silent.size(); ++i)
        QCOMPARE(silent[i]->requestCount(), askedAtExit[i]);  // no port asked after Exit
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
