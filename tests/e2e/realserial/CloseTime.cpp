// Korvane - real serial drivers: how long the engine's port takes to close.
// SPDX-License-Identifier: MIT
//
// Usage: realserial-close PORT
// Sends one screen request, reads what comes within 3 s (a whole screen, or
// nothing where flow control holds the request back), times close() and
// prints "BYTES CLOSE_MS".
#include "SerialPort.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: realserial-close PORT\n");
        return 2;
    }
    korvane::SerialPort port;
    if (const auto result = port.open(argv[1]); result != korvane::PortResult::Ok) {
        std::fprintf(stderr, "realserial-close: %s: %s %s\n", argv[1], korvane::describe(result),
                     port.errorText().c_str());
        return 1;
    }
    const std::uint8_t request[] = {0x57, 0x00, 0x00, 0x0A};
    std::size_t written = 0;
    // Held flow control still takes the request into the driver's buffer.
    if (port.write(request, sizeof request, written, 1000) != korvane::PortResult::Ok || written != sizeof request) {
        std::fprintf(stderr, "realserial-close: the request could not be written\n");
        return 1;
    }
    std::vector<std::uint8_t> screen(40960);
    std::size_t got = 0;
    port.read(screen.data(), screen.size(), got, korvane::ReadLimits{3000, 500, 10000});
    const auto start = std::chrono::steady_clock::now();
    port.close();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%zu %.2f\n", got, took.count());
}
