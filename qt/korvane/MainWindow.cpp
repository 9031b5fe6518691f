// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#include "MainWindow.h"

#include "AboutBox.h"
#include "LinkReport.h"
#include "LiveView.h"
#include "ViewerPictures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>

namespace korvane {

namespace {

EngineConfig viewerConfig(const std::string& workDir, const std::string& programDir)
{
    EngineConfig config;
    config.workDir = workDir;
    config.programDir = programDir;
    return config;
}

}  // namespace

MainWindow::MainWindow(const std::string& workDir, const std::string& programDir, QWidget* parent)
    : QMainWindow(parent)
    , engine_(*this, viewerConfig(workDir, programDir))
{
    setWindowTitle(QStringLiteral("Korvane"));
    setWindowIcon(ViewerPictures::programIcon());
    setCursor(Qt::ArrowCursor);

    engine_.initEngine();

    liveView_ = new LiveView(engine_, this);
    liveView_->setObjectName(QStringLiteral("liveView"));
    setCentralWidget(liveView_);
    buildMenus();
    // A client area of 320x240 under the menu bar.
    resize(kScreenWidth, kScreenHeight + menuBar()->sizeHint().height());

    // The two About keys apply to the main window as a whole, whichever of
    // its widgets has the focus, like an accelerator table.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    engine_.shutdown();
    delete lostLinkBox_;
}

QString MainWindow::connectionErrorText()
{
    return QStringLiteral("DSO Connection Error");
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& caption, CommandId id)
{
    QAction* item = menu->addAction(caption);
    item->setData(int(id));
    item->setMenuRole(QAction::NoRole);
    connect(item, &QAction::triggered, this, [this, id] { runCommand(int(id)); });
    return item;
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("Connect"), CommandId::Connect)->setCheckable(true);
    addCommand(file, QStringLiteral("Pause"), CommandId::Pause)->setCheckable(true);
    file->addSeparator();
    QAction* color = addCommand(file, QStringLiteral("Color"), CommandId::Color);
    color->setCheckable(true);
    color->setChecked(true);
    addCommand(file, QStringLiteral("Save/Print"), CommandId::SavePrint)->setEnabled(false);
    file->addSeparator();
    addCommand(file, QStringLiteral("E&xit"), CommandId::Exit);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("About ..."), CommandId::About);
}

QAction* MainWindow::action(CommandId id) const
{
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        for (QAction* item : menu->actions()) {
            if (!item->isSeparator() && item->data().toInt() == int(id))
                return item;
        }
    }
    return nullptr;
}

bool MainWindow::runCommand(int id)
{
    switch (static_cast<CommandId>(id & 0xFFFF)) {
    case CommandId::Connect: connectCommand(); return true;
    case CommandId::Pause: toggleCommand(CommandId::Pause, &Engine::isPaused, &Engine::setPaused); return true;
    case CommandId::Color: toggleCommand(CommandId::Color, &Engine::isColorMode, &Engine::setColorMode); return true;
    case CommandId::SavePrint: savePrintCommand(); return true;
    case CommandId::Exit: exitCommand(); return true;
    case CommandId::About: aboutCommand(); return true;
    }
    return false;
}

void MainWindow::connectCommand()
{
    QAction* connectItem = action(CommandId::Connect);
    // A checkable item has already flipped its own mark; the mark says only
    // whether a connect has ever succeeded.
    connectItem->setChecked(linkEverUp_);

    if (searching_)
        return;
    switch (engine_.beginConnect()) {
    case ConnectStart::Nothing: return;
    case ConnectStart::OpenNow: finishConnect(); return;
    case ConnectStart::Searching:
        searching_ = true;
        connectItem->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
}

void MainWindow::searchFinished()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!searching_ || closing_)
                return;
            searching_ = false;
            QApplication::restoreOverrideCursor();
            action(CommandId::Connect)->setEnabled(true);
            finishConnect();
        },
        Qt::QueuedConnection);
}

void MainWindow::finishConnect()
{
    QAction* connectItem = action(CommandId::Connect);
    if (engine_.openLink() == -1) {
        QMessageBox box(QMessageBox::NoIcon, connectionErrorText(), connectionErrorText(), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    linkEverUp_ = true;
    action(CommandId::SavePrint)->setEnabled(true);
    connectItem->setChecked(true);
}

void MainWindow::toggleCommand(CommandId id, std::int32_t (Engine::*get)() const, void (Engine::*set)(std::int32_t))
{
    QAction* item = action(id);
    if ((engine_.*get)() == 1) {
        item->setChecked(false);
        (engine_.*set)(0);
    } else {
        item->setChecked(true);
        (engine_.*set)(1);
    }
}

void MainWindow::savePrintCommand()
{
    // Before the first screen nothing is written or started: the command
    // waits for a screen rather than hand an empty picture on.
    const std::string problem = LinkReport::exportFailure(engine_.exportSnapshot(), engine_);
    if (!problem.empty())
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(problem));
}

void MainWindow::aboutCommand()
{
    AboutBox box(this);
    box.exec();
}

void MainWindow::exitCommand()
{
    closing_ = true;
    // The search and the reader thread end before the port and the log are
    // closed.
    engine_.shutdown();
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    closing_ = true;
    engine_.shutdown();
    if (searching_) {
        searching_ = false;
        QApplication::restoreOverrideCursor();
    }
    // The lost-link box has no owner; left open it would keep the program alive.
    delete lostLinkBox_;
    QMainWindow::closeEvent(event);
}

void MainWindow::screenPublished()
{
    liveView_->requestRepaint();
}

void MainWindow::linkClosed()
{
    liveView_->requestRepaint();
}

void MainWindow::openFailed()
{
    liveView_->requestRepaint();
}

void MainWindow::exportStarted()
{
    liveView_->requestRepaint();
}

void MainWindow::linkLost()
{
    QMetaObject::invokeMethod(
        this, [this] { openLostLinkBox(); }, Qt::QueuedConnection);
}

void MainWindow::openLostLinkBox()
{
    // A loss reported just as Exit began: a box now would be the only
    // window left and keep the program alive.
    if (closing_) {
        engine_.acknowledgeConnectionError();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, connectionErrorText(), connectionErrorText(), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // It blocks only the reader thread: the window stays usable meanwhile.
    box->setWindowModality(Qt::NonModal);
    box->setWindowIcon(windowIcon());
    // Once the link has ended, linkClosed() repaints the view with the
    // link's end.
    connect(box, &QDialog::finished, this, [this] { engine_.acknowledgeConnectionError(); });
    lostLinkBox_ = box;
    box->show();
}

bool MainWindow::isAboutKey(const QKeyEvent& key) const
{
    if (!(key.modifiers() & Qt::AltModifier) || (key.modifiers() & Qt::ControlModifier))
        return false;
    // The characters typed, whatever keys make them on the layout in use.
    const QString typed = key.text();
    if (!typed.isEmpty())
        return typed == QLatin1String("?") || typed == QLatin1String("/");
    return key.key() == Qt::Key_Question || key.key() == Qt::Key_Slash;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this
        && isEnabled() && isAboutKey(*static_cast<QKeyEvent*>(event))) {
        runCommand(int(CommandId::About));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvane
