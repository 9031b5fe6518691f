// Korvane - screen acquisition engine.
// SPDX-License-Identifier: MIT
#include "LinkReport.h"

#include "Engine.h"
#include "PlatformTexts.h"
#include "PortNames.h"

namespace korvane {

namespace {

std::vector<std::string> portsJudged(const std::vector<ProbeReport>& reports, bool (*judged)(const ProbeReport&))
{
    std::vector<std::string> names;
    for (const ProbeReport& report : reports) {
        if (judged(report))
            names.push_back(PlatformTexts::portShown(report.portName, report.device));
    }
    return names;
}

}  // namespace

std::string LinkReport::device(const Engine& engine)
{
    return PortNames::resolve(engine.workDir(), engine.portName());
}

std::string LinkReport::port(const Engine& engine)
{
    return PlatformTexts::portShown(engine.portName(), device(engine));
}

std::string LinkReport::openFailure(const Engine& engine)
{
    if (device(engine).empty())
        return "no device of that name";
    switch (engine.lastOpenResult()) {
    case PortResult::Busy: return "another program holds it";
    case PortResult::NotSupported: return "not a serial port";
    case PortResult::Denied: return engine.lastOpenError() + PlatformTexts::deniedHint();
    case PortResult::OsFailure:
        return engine.lastOpenError() + (PortNames::exists(device(engine)) ? "" : PlatformTexts::missingPortHint());
    default: return "it could not be opened";
    }
}

std::string LinkReport::noInstrument(const Engine& engine)
{
    std::string message = std::string("no instrument answers on COM9 to COM2 ") + PlatformTexts::noInstrumentCauses();
    const std::vector<std::string> denied = portsJudged(engine.lastSearch(), [](const ProbeReport& report) {
        return report.verdict == ProbeVerdict::NotOpened && report.openResult == PortResult::Denied;
    });
    for (std::size_t i = 0; i < denied.size(); ++i)
        message += (i == 0 ? "; permission denied on " : ", ") + denied[i];
    if (!denied.empty())
        message += PlatformTexts::deniedAdvice();
    const std::vector<std::string> talking = portsJudged(
        engine.lastSearch(), [](const ProbeReport& report) { return report.verdict == ProbeVerdict::Talker; });
    for (std::size_t i = 0; i < talking.size(); ++i)
        message += (i == 0 ? "; passed over, sending without being asked: " : ", ") + talking[i];
    return message;
}

std::string LinkReport::exportFailure(ExportResult result, const Engine& engine)
{
    const std::string snapshot = engine.filePath("Temp.bmp");
    switch (result) {
    case ExportResult::WriteFailed: return "The snapshot could not be written to\n" + snapshot;
    case ExportResult::ToolNotStarted: return "Pictorix could not be started.\nThe snapshot is in\n" + snapshot;
    case ExportResult::Started:
    case ExportResult::NoScreen: break;
    }
    return {};
}

}  // namespace korvane
