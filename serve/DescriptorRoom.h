// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

namespace korvane {

// Room among the process's file descriptors for the connections korvane-serve
// may hold. One source file per platform.
class DescriptorRoom {
public:
    // Raises the process's limit on open descriptors, as far as the system
    // lets it, so that `connections` sockets fit beside `others` descriptors
    // of other kinds; the number of connections that fit (at most `connections`).
    static unsigned makeRoom(unsigned connections, unsigned others);
};

}  // namespace korvane
