// Korvane - viewer window tests.
// SPDX-License-Identifier: MIT
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <stdexcept>

namespace korvane::test {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList modalBoxesOf(const std::function<void()>& action, const std::function<void(QWidget*)>& answer)
{
    QStringList boxes;
    QWidget* answering = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box == answering || !box->isVisible())
            return;
        answering = box;
        const QWidget* owner = box->parentWidget();
        boxes << box->windowTitle() + " in " + (owner ? owner->metaObject()->className() : "nothing");
        answer(box);
        answering = nullptr;
    });
    poll.start(10);
    action();
    return boxes;
}

Rig::Rig()
{
    for (int n = 2; n <= 9; ++n) {
        std::error_code error;
        std::filesystem::create_symlink("/nonexistent/korvane-test-port",
                                        std::filesystem::path(dir.path().toStdString()) / ("COM" + std::to_string(n)),
                                        error);
    }
    window = std::make_unique<MainWindow>(dir.path().toStdString());
    window->show();
}

zls740sim::Zls740Simulator& Rig::addSimulator(int com, const std::function<void(zls740sim::SimulatorOptions&)>& set)
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

void Rig::run(CommandId id)
{
    window->runCommand(int(id));
    if (id == CommandId::Connect)
        [[maybe_unused]] const bool searched
            = QTest::qWaitFor([this] { return window->action(CommandId::Connect)->isEnabled(); }, kDeadlineMs);
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

}  // namespace korvane::test
