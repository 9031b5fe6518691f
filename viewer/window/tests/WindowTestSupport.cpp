// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <stdexcept>

namespace korvane::test {

void addDeadPorts(const QString& dir)
{
    for (int n = 2; n <= 9; ++n) {
        const std::filesystem::path link = std::filesystem::path(dir.toStdString()) / ("COM" + std::to_string(n));
        std::error_code error;
        std::filesystem::create_symlink("/nonexistent/korvane-test-port", link, error);
    }
}

std::unique_ptr<zls740sim::Zls740Simulator> startSimulator(const QString& dir, int com,
                                                           zls740sim::SimulatorOptions options)
{
    // A dead link of the same name would stand in the simulator's way.
    QFile::remove(QDir(dir).filePath(QStringLiteral("COM%1").arg(com)));
    options.linkDir = dir.toStdString();
    options.comNumber = com;
    auto simulator = std::make_unique<zls740sim::Zls740Simulator>(options);
    std::string error;
    if (!simulator->start(&error))
        throw std::runtime_error("simulator: " + error);
    return simulator;
}

std::uint8_t patternIndex(int x, int y)
{
    // Distinct colours at the four corners, and columns and rows that differ
    // from their neighbours, so that a shifted, mirrored or blended picture
    // shows.
    if (x == 0 && y == 0)
        return 2;
    if (x == 319 && y == 0)
        return 4;
    if (x == 0 && y == 239)
        return 6;
    if (x == 319 && y == 239)
        return 14;
    return std::uint8_t((x / 4 + 3 * (y / 4)) % 16);
}

zls740sim::Frame patternFrame()
{
    zls740sim::Frame frame{};
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 320; ++x)
            zls740sim::putScreenPixel(frame, x, y, y < 240 ? patternIndex(x, y) : 0);
    }
    return frame;
}

QString writeFrameFile(const QString& dir, const zls740sim::Frame& frame)
{
    const QString path = QDir(dir).filePath(QStringLiteral("pattern.frames"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char*>(frame.data()), qint64(frame.size())) != qint64(frame.size()))
        throw std::runtime_error("cannot write " + path.toStdString());
    return path;
}

void addImageToolStandIn(const QString& dir, const QString& marker)
{
    const QString path = QDir(dir).filePath(QStringLiteral("Pictorix"));
    QFile tool(path);
    if (!tool.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    tool.write(QStringLiteral("#!/bin/sh\nexec touch '%1'\n").arg(marker).toUtf8());
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QColor paletteColour(const Palette& palette, int index)
{
    const Rgb& rgb = palette[std::size_t(index)];
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Rig::Rig(std::optional<zls740sim::SimulatorOptions> options)
{
    addDeadPorts(dir.path());
    if (options)
        simulator = startSimulator(dir.path(), 5, *options);
    window = std::make_unique<MainWindow>(dir.path().toStdString());
    window->show();
}

bool Rig::waitForScreen()
{
    return QTest::qWaitFor([this] { return window->engine().screen().read([](const ScreenView&) {}); }, kDeadlineMs);
}

QString Rig::marks() const
{
    QStringList marks;
    for (CommandId id : {CommandId::Connect, CommandId::Pause, CommandId::Color, CommandId::SavePrint}) {
        const QAction* item = window->action(id);
        marks << item->text() + (item->isChecked() ? "*" : "") + (item->isEnabled() ? "" : "-");
    }
    return marks.join(' ');
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> answer, int intervalMs)
    : answer_(std::move(answer))
{
    connect(&timer_, &QTimer::timeout, this, &ModalWatcher::poll);
    timer_.start(intervalMs);
}

void ModalWatcher::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == busyWith_ || !modal->isVisible())
        return;
    busyWith_ = modal;
    seen_ << QString::fromLatin1(modal->metaObject()->className());
    titles_ << modal->windowTitle();
    lastParent_ = modal->parentWidget();
    answer_(modal);
    busyWith_ = nullptr;
}

}  // namespace korvane::test
