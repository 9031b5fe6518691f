// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "GrabProgram.h"

#include "AtomicFile.h"
#include "ExitCode.h"
#include "GrabCommandLine.h"
#include "LinkReport.h"
#include "PngWriter.h"
#include "ScreenGrabber.h"
#include "SeriesNames.h"
#include "Version.h"
#include "WriteAll.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace korvane {

namespace {

constexpr const char* kProgram = "korvane-grab";

int fail(ExitCode code, const std::string& message)
{
    std::cerr << kProgram << ": " << message << std::endl;
    return static_cast<int>(code);
}

bool writeStandardOutput(const std::string& bytes, std::string* error)
{
    int err = 0;
    if (writeAll(STDOUT_FILENO, bytes.data(), bytes.size(), &err))
        return true;
    *error = std::string("cannot write to standard output: ") + std::strerror(err);
    return false;
}

std::string secondsText(double seconds)
{
    std::ostringstream text;
    text << seconds << " s";
    return text.str();
}

}  // namespace

int GrabProgram::run(const std::vector<std::string>& arguments, const std::string& programDir)
{
    GrabCommandLine line;
    std::string error;
    if (!GrabCommandLine::parse(arguments, line, &error))
        return fail(ExitCode::UsageError, error + " (see " + kProgram + " --help)");
    if (line.help) {
        std::cout << GrabCommandLine::usage();
        return static_cast<int>(ExitCode::Success);
    }
    if (line.version) {
        std::cout << kProgram << " " << KORVANE_VERSION << "\n";
        return static_cast<int>(ExitCode::Success);
    }

    // The current folder is the working folder, as for the viewer: COMn
    // links and header2.bin are looked up there first.
    EngineConfig config;
    config.programDir = programDir;
    config.baudRate = line.baudRate;
    ScreenGrabber grabber(config, line.monochrome);
    if (line.port.empty()) {
        if (!grabber.findInstrument()) {
            return fail(ExitCode::NoInstrument, LinkReport::noInstrument(grabber.engine()));
        }
    } else {
        grabber.usePort(line.port);
    }
    if (!grabber.openLink())
        return fail(ExitCode::NoInstrument,
                    "cannot open the port " + LinkReport::port(grabber.engine()) + ": "
                        + LinkReport::openFailure(grabber.engine()));

    using Seconds = std::chrono::duration<double>;
    const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(Seconds(line.timeoutSeconds));
    const auto interval = std::chrono::ceil<std::chrono::milliseconds>(Seconds(line.intervalSeconds));
    SeriesNames names(line.output);
    for (int shot = 0; shot < line.count; ++shot) {
        const auto started = std::chrono::steady_clock::now();
        std::string snapshot;
        switch (grabber.capture(timeout, snapshot)) {
        case ScreenGrabber::Capture::Screen: break;
        case ScreenGrabber::Capture::NoScreen:
            return fail(ExitCode::NoInstrument,
                        "no whole screen from " + LinkReport::port(grabber.engine()) + " within "
                            + secondsText(line.timeoutSeconds));
        case ScreenGrabber::Capture::LinkLost:
            return fail(ExitCode::LinkLost, "the link to " + LinkReport::port(grabber.engine()) + " was lost");
        }

        std::string image;
        if (line.format == ImageFormat::Png) {
            std::ostringstream png;
            if (!PngWriter::write(png, snapshot))
                return fail(ExitCode::WriteFailed, "cannot make the PNG image: out of memory");
            image = std::move(png).str();
        } else {
            image = std::move(snapshot);
        }
        if (line.output == "-") {
            if (!writeStandardOutput(image, &error))
                return fail(ExitCode::WriteFailed, error);
        } else {
            const std::string path = line.series ? names.next(std::time(nullptr)) : line.output;
            if (!replaceFile(path, image.data(), image.size(), &error))
                return fail(ExitCode::WriteFailed, error);
        }

        if (shot + 1 < line.count)
            std::this_thread::sleep_until(started + interval);
    }
    return static_cast<int>(ExitCode::Success);
}

}  // namespace korvane
