// Korvane - link throughput: the bare loop on Windows.
// SPDX-License-Identifier: MIT
#include "LinkBench.h"

#include "ScreenGeometry.h"
#include "SerialPort.h"
#include "WindowsText.h"

#include <windows.h>

namespace korvane::bench {

namespace {

double seconds(const FILETIME& time)
{
    return double((std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
}

}  // namespace

double processorSeconds()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    return seconds(kernel) + seconds(user);
}

Figures bareLoop(const std::string& port, double seconds, int baud)
{
    SerialPort claim;  // the same exclusive open and line settings as the engine's
    if (claim.open(port) != PortResult::Ok)
        return {};
    if (baud > 0)
        claim.setBaudRate(baud);
    claim.close();
    const HANDLE line =
        ::CreateFileW(wideFromUtf8(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (line == INVALID_HANDLE_VALUE)
        return {};
    // The plainest loop: blocking calls with fixed time-outs, a screen in
    // one ReadFile, which ends 50 ms after the last byte at the latest.
    COMMTIMEOUTS timeouts{50, 50, 100, 100, 100};
    ::SetCommTimeouts(line, &timeouts);
    ::PurgeComm(line, PURGE_RXCLEAR | PURGE_TXCLEAR);
    static std::uint8_t frame[kFrameBytes];
    const Figures figures = timeExchanges(seconds, [&] {
        DWORD moved = 0;
        if (!::WriteFile(line, screenRequest, sizeof screenRequest, &moved, nullptr) || moved != sizeof screenRequest)
            return Exchange::Broken;
        if (::ReadFile(line, frame, kFrameBytes, &moved, nullptr) && moved == kFrameBytes)
            return Exchange::Screen;
        ::PurgeComm(line, PURGE_RXCLEAR);
        return Exchange::NoScreen;
    });
    ::PurgeComm(line, PURGE_RXCLEAR | PURGE_TXCLEAR);
    ::CloseHandle(line);
    return figures;
}

}  // namespace korvane::bench
