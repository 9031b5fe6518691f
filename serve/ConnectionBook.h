// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <unordered_map>

namespace korvane {

// The connections open and the viewers among them, against korvane-serve's
// caps, so that a crowd from one machine, or any crowd, cannot take every
// descriptor and lock out those already watching. All on the I/O thread.
class ConnectionBook {
public:
    struct Caps {
        unsigned connections = 512;  // every open connection, viewers included
        unsigned viewers = 256;      // pages watching over the WebSocket
        unsigned perAddress = 64;    // connections from one address (an IPv6 /64)
    };
    enum class Verdict { Admitted, ServerFull, AddressFull, ViewersFull };

    explicit ConnectionBook(Caps caps)
        : caps_(caps)
    {
    }

    // A new connection from `address`: counted when admitted.
    Verdict admit(const std::string& address);
    // An admitted connection asking to watch: counted as a viewer when admitted.
    Verdict admitViewer();
    // An admitted connection has ended.
    void release(const std::string& address, bool viewer);

    unsigned connections() const { return connections_; }
    unsigned viewers() const { return viewers_; }
    // The one line a refused client gets with its 503.
    std::string reason(Verdict verdict) const;

private:
    Caps caps_;
    unsigned connections_ = 0;
    unsigned viewers_ = 0;
    std::unordered_map<std::string, unsigned> perAddress_;
};

}  // namespace korvane
