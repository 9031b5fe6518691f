// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
//
// zls740-sim: the simulated oscilloscope as a program, for trying the viewer
// by hand and for scripted end-to-end tests.
#include "AtomicFile.h"
#include "SimulatorCommandLine.h"
#include "Zls740Simulator.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>

using namespace zls740sim;

int main(int argc, char** argv)
{
    SimulatorCommandLine line;
    std::string error;
    if (!SimulatorCommandLine::parse(std::vector<std::string>(argv + 1, argv + argc), line, &error)) {
        std::cerr << "zls740-sim: " << error << "\n" << SimulatorCommandLine::usage();
        return 2;
    }
    if (line.help) {
        std::cout << SimulatorCommandLine::usage();
        return 0;
    }
    if (!line.writeFrameFile.empty()) {
        const Frame frame = drawFrame(line.frameIndex);
        if (!korvane::replaceFile(line.writeFrameFile, frame.data(), frame.size(), &error)) {
            std::cerr << "zls740-sim: " << error << "\n";
            return 1;
        }
        return 0;
    }

    // Blocked here, so the serving thread inherits the mask and the signals
    // are taken only by sigwait() below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A viewer that goes away must not end the simulator.
    std::signal(SIGPIPE, SIG_IGN);

    Zls740Simulator simulator(line.options);
    if (!simulator.start(&error)) {
        std::cerr << "zls740-sim: " << error << "\n";
        return 1;
    }
    if (line.options.serveDevice.empty())
        std::cout << "zls740-sim: listening on " << simulator.linkPath() << " -> " << simulator.slavePath()
                  << std::endl;
    else
        std::cout << "zls740-sim: serving " << simulator.slavePath() << std::endl;

    int received = 0;
    while (sigwait(&signals, &received) != 0) {}
    simulator.stop();
    return 0;
}
