// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "GrabProgram.h"

#include "AtomicFile.h"
#include "ConsoleText.h"
#include "ExitCode.h"
#include "GrabCommandLine.h"
#include "LinkReport.h"
#include "PngWriter.h"
#include "ScreenGrabber.h"
#include "SeriesNames.h"
#include "Version.h"
#include "WriteAll.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

namespace korvane {

namespace {

constexpr const char* kProgram = "korvane-grab";

int fail(ExitCode code, const std::string& message)
{
    ConsoleText::err() << kProgram << ": " << message << std::endl;
    return static_cast<int>(code);
}

std::string secondsText(double seconds)
{
    std::ostringstream text;
    text << seconds << " s";
    return text.str();
}

// Why korvane-grab ends early: its exit code and its one line.
struct Failure {
    ExitCode code;
    std::string message;
};
// Each step's outcome: empty when it went well.
using Outcome = std::optional<Failure>;

Outcome openInstrument(ScreenGrabber& grabber, const GrabCommandLine& line)
{
    if (line.port.empty()) {
        if (!grabber.findInstrument())
            return Failure{ExitCode::NoInstrument, LinkReport::noInstrument(grabber.engine())};
    } else {
        grabber.usePort(line.port);
    }
    if (!grabber.openLink())
        return Failure{ExitCode::NoInstrument,
                       "cannot open the port " + LinkReport::port(grabber.engine()) + ": "
                           + LinkReport::openFailure(grabber.engine())};
    return std::nullopt;
}

Outcome takeScreen(ScreenGrabber& grabber, const GrabCommandLine& line, std::string& snapshot)
{
    const auto timeout =
        std::chrono::ceil<std::chrono::milliseconds>(std::chrono::duration<double>(line.timeoutSeconds));
    switch (grabber.capture(timeout, snapshot)) {
    case ScreenGrabber::Capture::Screen: return std::nullopt;
    case ScreenGrabber::Capture::NoScreen:
        return Failure{ExitCode::NoInstrument,
                       "no whole screen from " + LinkReport::port(grabber.engine()) + " within "
                           + secondsText(line.timeoutSeconds)};
    case ScreenGrabber::Capture::LinkLost:
        return Failure{ExitCode::LinkLost, "the link to " + LinkReport::port(grabber.engine()) + " was lost"};
    }
    return std::nullopt;
}

// The snapshot as the image file asked for: itself, or a PNG image of it.
Outcome encodeImage(ImageFormat format, std::string snapshot, std::string& image)
{
    if (format != ImageFormat::Png) {
        image = std::move(snapshot);
        return std::nullopt;
    }
    std::ostringstream png;
    if (!PngWriter::write(png, snapshot))
        return Failure{ExitCode::WriteFailed, "cannot make the PNG image: out of memory"};
    image = std::move(png).str();
    return std::nullopt;
}

Outcome storeImage(const GrabCommandLine& line, SeriesNames& names, const std::string& image)
{
    std::string error;
    if (line.output == "-") {
        if (!writeStandardOutput(image.data(), image.size(), &error))
            return Failure{ExitCode::WriteFailed, "cannot write to standard output: " + error};
    } else {
        const std::string path = line.series ? names.next(std::time(nullptr)) : line.output;
        if (!replaceFile(path, image.data(), image.size(), &error))
            return Failure{ExitCode::WriteFailed, error};
    }
    return std::nullopt;
}

// The screens the command line asks for, one every interval.
Outcome takeSeries(ScreenGrabber& grabber, const GrabCommandLine& line)
{
    const auto interval =
        std::chrono::ceil<std::chrono::milliseconds>(std::chrono::duration<double>(line.intervalSeconds));
    SeriesNames names(line.output);
    for (int shot = 0; shot < line.count; ++shot) {
        const auto started = std::chrono::steady_clock::now();
        std::string snapshot;
        std::string image;
        Outcome outcome = takeScreen(grabber, line, snapshot);
        if (!outcome)
            outcome = encodeImage(line.format, std::move(snapshot), image);
        if (!outcome)
            outcome = storeImage(line, names, image);
        if (outcome)
            return outcome;
        if (shot + 1 < line.count)
            std::this_thread::sleep_until(started + interval);
    }
    return std::nullopt;
}

}  // namespace

int GrabProgram::run(const std::vector<std::string>& arguments, const std::string& programDir)
{
    GrabCommandLine line;
    std::string error;
    if (!GrabCommandLine::parse(arguments, line, &error))
        return fail(ExitCode::UsageError, error + " (see " + kProgram + " --help)");
    if (line.help) {
        ConsoleText::out() << GrabCommandLine::usage() << std::flush;
        return static_cast<int>(ExitCode::Success);
    }
    if (line.version) {
        ConsoleText::out() << kProgram << " " << KORVANE_VERSION << std::endl;
        return static_cast<int>(ExitCode::Success);
    }

    // The current folder is the working folder, as for the viewer: COMn
    // links and header2.bin are looked up there first.
    EngineConfig config;
    config.programDir = programDir;
    config.baudRate = line.baudRate;
    ScreenGrabber grabber(config, line.monochrome);
    Outcome outcome = openInstrument(grabber, line);
    if (!outcome)
        outcome = takeSeries(grabber, line);
    if (outcome)
        return fail(outcome->code, outcome->message);
    return static_cast<int>(ExitCode::Success);
}

}  // namespace korvane
