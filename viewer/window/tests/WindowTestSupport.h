// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#pragma once

#include "MainWindow.h"
#include "Palettes.h"
#include "Zls740Simulator.h"

#include <QColor>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace korvane::test {

// Generous: the machine is shared and may be slow; waits end as soon as
// their condition holds.
inline constexpr int kDeadlineMs = 20000;

// Dangling COM2..COM9 links in `dir`, so that a probe or an open there
// fails at once and never touches a device of this machine.
void addDeadPorts(const QString& dir);

// A simulator linked as `dir`/COM`com`, already started.
std::unique_ptr<zls740sim::Zls740Simulator> startSimulator(const QString& dir, int com,
                                                           zls740sim::SimulatorOptions options = {});

// A frame whose screen pixel (x, y) has the index patternIndex(x, y).
zls740sim::Frame patternFrame();
std::uint8_t patternIndex(int x, int y);
// Writes `frame` as a replay file and returns its path.
QString writeFrameFile(const QString& dir, const zls740sim::Frame& frame);

// A stand-in image tool in `dir` that creates `dir`/`marker` when started.
void addImageToolStandIn(const QString& dir, const QString& marker);

QColor paletteColour(const Palette& palette, int index);

QByteArray fileBytes(const QString& path);

// Counts the events of one type that reach `target` while it lives.
class EventCounter : public QObject {
public:
    EventCounter(QObject* target, QEvent::Type type)
        : type_(type)
    {
        target->installEventFilter(this);
    }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == type_ ? 1 : 0;
        return false;
    }

private:
    QEvent::Type type_;
};

// A viewer window, shown, working in a fresh folder of dead ports; given
// simulator options, with a simulator linked as COM5 there too.
struct Rig {
    explicit Rig(std::optional<zls740sim::SimulatorOptions> options = std::nullopt);
    QString file(const QString& name) const { return dir.filePath(name); }
    QByteArray log() const { return fileBytes(file(QStringLiteral("log.txt"))); }
    void run(CommandId id) { window->runCommand(int(id)); }
    // Waits until the first screen has come in.
    bool waitForScreen();
    // The File menu's marks, checked ones with "*", disabled ones with "-".
    QString marks() const;

    QTemporaryDir dir;
    std::unique_ptr<zls740sim::Zls740Simulator> simulator;
    std::unique_ptr<MainWindow> window;
};

// Watches for modal boxes and dialogs (the only way a synchronous exec()
// can be observed from the test): every `intervalMs` it takes the active
// modal widget, records its class and title, and runs `answer` on it.
class ModalWatcher : public QObject {
    Q_OBJECT
public:
    explicit ModalWatcher(std::function<void(QWidget*)> answer, int intervalMs = 10);
    QStringList seen() const { return seen_; }
    QStringList titles() const { return titles_; }
    QWidget* lastParent() const { return lastParent_; }

private:
    void poll();
    std::function<void(QWidget*)> answer_;
    QTimer timer_;
    QStringList seen_;
    QStringList titles_;
    QWidget* lastParent_ = nullptr;
    QWidget* busyWith_ = nullptr;
};

}  // namespace korvane::test
