// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace zls740sim {

// One pseudo-terminal standing in for the instrument's serial port: the
// master side (non-blocking) is the instrument's end, the slave device is
// what the viewer opens through a symbolic link. The slave's settings are
// left as the system makes them: the viewer has to set raw mode itself.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the pseudo-terminal and points `linkPath` at its slave device,
    // replacing whatever link was there. Returns false with a reason in `error`.
    bool open(const std::string& linkPath, std::string* error);
    // Takes an existing serial device as the instrument's end instead (the
    // gadget end of a USB modem-class link, say): opened non-blocking in raw
    // mode, with no link. masterFd() is then the device.
    bool serveDevice(const std::string& devicePath, std::string* error);
    // Closes both sides (the viewer's open slave then reports EIO) and removes
    // the link if it still points at this slave.
    void close();

    bool isOpen() const { return masterFd_ >= 0; }
    int masterFd() const { return masterFd_; }
    const std::string& slavePath() const { return slavePath_; }

    // Bytes that arrived on the slave side and were not read there yet (or
    // -1 if unknown).
    int unreadBySlave() const;

private:
    int masterFd_ = -1;
    // Kept open, never read: while any slave descriptor is open the master
    // sees no hang-up, so the viewer may close and reopen the port.
    int keptSlaveFd_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace zls740sim
