// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "MainWindow.h"
#include "Zls740Simulator.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace korvane::test {

// Generous, for a busy machine: waits end as soon as their condition holds.
inline constexpr int kDeadlineMs = 20000;

// Runs `action`, closing every modal box it opens (the only way past a synchronous exec()):
// "<title> in <owner class>" for each box.
inline QStringList modalBoxesOf(const std::function<void()>& action)
{
    QStringList boxes;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget(); box && box->isVisible()) {
            const QWidget* owner = box->parentWidget();
            boxes << box->windowTitle() + " in " + (owner ? owner->metaObject()->className() : "nothing");
            box->close();
        }
    });
    poll.start(10);
    action();
    return boxes;
}

// Counts the events of one type that reach `target` while it lives.
struct EventCounter : QObject {
    EventCounter(QObject* target, QEvent::Type type)
        : type(type)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == type;
        return false;
    }
    const QEvent::Type type;
    int count = 0;
};

// A viewer window, shown, in a fresh folder whose COM2..COM9 are dead links: no probe touches this machine's devices.
struct Rig {
    Rig()
    {
        for (int n = 2; n <= 9; ++n) {
            std::error_code error;
            std::filesystem::create_symlink(
                "/nonexistent/korvane-test-port",
                std::filesystem::path(dir.path().toStdString()) / ("COM" + std::to_string(n)), error);
        }
        window = std::make_unique<MainWindow>(dir.path().toStdString());
        window->show();
    }

    // A simulator as COM`com` in place of the dead link, its options changed by `set`.
    zls740sim::Zls740Simulator& addSimulator(int com, const std::function<void(zls740sim::SimulatorOptions&)>& set = {})
    {
        QFile::remove(file(QStringLiteral("COM%1").arg(com)));
        zls740sim::SimulatorOptions options;
        if (set)
            set(options);
        options.linkDir = dir.path().toStdString();
        options.comNumber = com;
        auto& added = simulators.emplace_back(std::make_unique<zls740sim::Zls740Simulator>(options));
        std::string error;
        if (!added->start(&error))
            throw std::runtime_error("simulator: " + error);
        return *added;
    }

    QString file(const QString& name) const { return dir.filePath(name); }
    QByteArray log() const
    {
        QFile log(file(QStringLiteral("log.txt")));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    // Runs a command; Connect returns once its search (if any) is over.
    void run(CommandId id)
    {
        window->runCommand(int(id));
        if (id == CommandId::Connect) {
            // Connect is enabled again once the search is over.
            [[maybe_unused]] const bool searched =
                QTest::qWaitFor([this] { return window->action(CommandId::Connect)->isEnabled(); }, kDeadlineMs);
        }
    }

    bool waitForScreen()
    {
        return QTest::qWaitFor([this] { return window->engine().screen().read([](const ScreenView&) {}); },
                               kDeadlineMs);
    }

    // The File menu's marks, checked ones with "*", disabled ones with "-".
    QString marks() const
    {
        QStringList marks;
        for (CommandId id : {CommandId::Connect, CommandId::Pause, CommandId::Color, CommandId::SavePrint}) {
            const QAction* item = window->action(id);
            marks << item->text() + (item->isChecked() ? "*" : "") + (item->isEnabled() ? "" : "-");
        }
        return marks.join(' ');
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<zls740sim::Zls740Simulator>> simulators;
    // Last, so that it goes first: the reader thread ends before the simulators.
    std::unique_ptr<MainWindow> window;
};

}  // namespace korvane::test
