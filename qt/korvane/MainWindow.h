// Korvane - viewer window.
// SPDX-License-Identifier: MIT
#pragma once

#include "CommandId.h"
#include "Engine.h"
#include "EngineHost.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

#include <string>

class QAction;

namespace korvane {

class LiveView;

// The viewer's one window: the File and Help menus, the live view as its
// client area, and the engine behind them. Every menu command, and the two
// About keys, go through runCommand().
class MainWindow : public QMainWindow, private EngineHost {
    Q_OBJECT
public:
    // `workDir`: the folder of the viewer's files, empty for the current
    // directory; `programDir`: where header2.bin and Pictorix ship.
    explicit MainWindow(const std::string& workDir = {}, const std::string& programDir = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs command `id`. False for an id that is not one of the viewer's
    // commands: nothing happens then.
    bool runCommand(int id);

    // The menu item of command `id`, or null.
    QAction* action(CommandId id) const;
    LiveView* liveView() const { return liveView_; }
    Engine& engine() { return engine_; }

    // The box that says the link is lost, while it is open.
    QMessageBox* lostLinkBox() const { return lostLinkBox_; }

    static QString connectionErrorText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // EngineHost: the live view is repainted after a new screen, at a
    // link's end and before an export; a lost link opens its box.
    void screenPublished() override;
    void linkLost() override;
    void linkClosed() override;
    void openFailed() override;
    void exportStarted() override;
    void searchFinished() override;

    void buildMenus();
    QAction* addCommand(QMenu* menu, const QString& caption, CommandId id);
    void connectCommand();
    // Connect after the search (or at once when the port is known).
    void finishConnect();
    void toggleCommand(CommandId id, std::int32_t (Engine::*get)() const, void (Engine::*set)(std::int32_t));
    void savePrintCommand();
    void aboutCommand();
    void exitCommand();
    void openLostLinkBox();
    bool isAboutKey(const QKeyEvent& key) const;

    Engine engine_;
    LiveView* liveView_ = nullptr;
    QPointer<QMessageBox> lostLinkBox_;
    // Connect has succeeded at least once: its mark and Save/Print stay on.
    bool linkEverUp_ = false;
    // The search for the instrument runs on the engine's thread meanwhile.
    bool searching_ = false;
    // Exit has begun: nothing may open a window any more.
    bool closing_ = false;
};

}  // namespace korvane
