// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ServeProgram.h"

#include "ConsoleStop.h"
#include "ScreenServer.h"
#include "ServeCommandLine.h"
#include "Version.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

namespace korvane {

namespace {

constexpr const char* kProgram = "korvane-serve";

}  // namespace

int ServeProgram::run(const std::vector<std::string>& arguments, const std::string& programDir, std::ostream& out,
                      std::ostream& err)
{
    ServeCommandLine line;
    std::string error;
    if (!ServeCommandLine::parse(arguments, line, &error)) {
        err << kProgram << ": " << error << " (see " << kProgram << " --help)" << std::endl;
        return 2;
    }
    if (line.help) {
        out << ServeCommandLine::usage() << std::flush;
        return 0;
    }
    if (line.version) {
        out << kProgram << " " << KORVANE_VERSION << std::endl;
        return 0;
    }

    // The current folder is the working folder, as for the viewer: COMn
    // links and header2.bin are looked up there first.
    EngineConfig config;
    config.programDir = programDir;
    config.baudRate = line.baudRate;

    boost::asio::io_context io(1);
    ScreenServer server(io, line, config, out);
    if (!server.listen(&error)) {
        err << kProgram << ": " << error << std::endl;
        return 1;
    }
    // Ctrl+C, SIGTERM, a closed console: the end, with code 0. A viewer that
    // goes away mid-write does not end the program.
    const ConsoleStop stopRequests([&] { boost::asio::post(io, [&] { server.stop(0); }); });
    server.start();
    io.run();
    return server.exitCode();
}

}  // namespace korvane
