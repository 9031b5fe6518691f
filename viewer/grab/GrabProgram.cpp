// Korvane - command-line capture.
// SPDX-License-Identifier: MIT
#include "GrabProgram.h"

#include "ExitCode.h"
#include "GrabCommandLine.h"
#include "PngWriter.h"
#include "ScreenGrabber.h"
#include "SeriesNames.h"
#include "SnapshotWriter.h"

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
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = std::string("cannot write to standard output: ") + std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
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
            std::string message =
                "no instrument answers on COM9 to COM2 (none attached, or another program holds its port)";
            const std::vector<std::string> denied = grabber.deniedPorts();
            for (std::size_t i = 0; i < denied.size(); ++i)
                message += (i == 0 ? "; permission denied on " : ", ") + denied[i];
            if (!denied.empty())
                message += ": join the group that owns the device, usually dialout, and log in again";
            const std::vector<std::string> talking = grabber.talkingPorts();
            for (std::size_t i = 0; i < talking.size(); ++i)
                message += (i == 0 ? "; passed over, sending without being asked: " : ", ") + talking[i];
            return fail(ExitCode::NoInstrument, message);
        }
    } else {
        grabber.usePort(line.port);
    }
    if (!grabber.openLink())
        return fail(ExitCode::NoInstrument,
                    "cannot open the port " + grabber.portDescription() + ": " + grabber.openFailure());

    using Seconds = std::chrono::duration<double>;
    const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(Seconds(line.timeoutSeconds));
    const auto interval = std::chrono::ceil<std::chrono::milliseconds>(Seconds(line.intervalSeconds));
    SeriesNames names(line.output);
    for (int shot = 0; shot < line.count; ++shot) {
        const auto started = std::chrono::steady_clock::now();
        std::string snapshot;
        switch (grabber.capture(timeout, snapshot)) {
        case ScreenGrabber::Capture::Screen:
            break;
        case ScreenGrabber::Capture::NoScreen:
            return fail(ExitCode::NoInstrument, "no whole screen from " + grabber.portDescription() + " within "
                                                    + secondsText(line.timeoutSeconds));
        case ScreenGrabber::Capture::LinkLost:
            return fail(ExitCode::LinkLost, "the link to " + grabber.portDescription() + " was lost");
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
            if (!SnapshotWriter::replaceFile(path, image, &error))
                return fail(ExitCode::WriteFailed, error);
        }

        if (shot + 1 < line.count)
            std::this_thread::sleep_until(started + interval);
    }
    return static_cast<int>(ExitCode::Success);
}

}  // namespace korvane
