// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "MainWindow.h"
#include "Zls740Simulator.h"

#include <QEvent>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace korvane::test {

// Generous: the machine is shared and may be slow; waits end as soon as
// their condition holds.
inline constexpr int kDeadlineMs = 20000;

QByteArray fileBytes(const QString& path);

// Runs `action` and answers every modal box it opens with `answer` (by
// default: closed), the only way to get past a synchronous exec(). Returns
// "<title> in <owner class>" for each box.
QStringList modalBoxesOf(const std::function<void()>& action,
                         const std::function<void(QWidget*)>& answer = [](QWidget* box) { box->close(); });

// Counts the events of one type that reach `target` while it lives.
struct EventCounter : QObject {
    EventCounter(QObject* target, QEvent::Type type) : type(type) { target->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override { count += event->type() == type; return false; }
    const QEvent::Type type;
    int count = 0;
};

// A viewer window, shown, working in a fresh folder whose COM2..COM9 are
// dead links, so that no probe touches a device of this machine.
struct Rig {
    Rig();
    // A simulator as COM`com` in place of the dead link, its options changed by `set`.
    zls740sim::Zls740Simulator& addSimulator(int com, const std::function<void(zls740sim::SimulatorOptions&)>& set = {});
    QString file(const QString& name) const { return dir.filePath(name); }
    QByteArray log() const { return fileBytes(file(QStringLiteral("log.txt"))); }
    // Runs a command; Connect returns once its search (if any) is over.
    void run(CommandId id);
    bool waitForScreen();
    // The File menu's marks, checked ones with "*", disabled ones with "-".
    QString marks() const;

    QTemporaryDir dir;
    std::vector<std::unique_ptr<zls740sim::Zls740Simulator>> simulators;
    // Last, so that it goes first: the reader thread ends before the simulators.
    std::unique_ptr<MainWindow> window;
};

}  // namespace korvane::test
