// Korvane - real serial drivers: one command to a QEMU machine's monitor.
// SPDX-License-Identifier: MIT
//
// Usage: realserial-qmp SOCKET COMMAND_JSON [EVENT] [TIMEOUT_MS]
// Connects to the machine-readable monitor at the Unix socket SOCKET, sends
// COMMAND_JSON (one {"execute": ...} object) and, with EVENT, waits for that
// event (DEVICE_DELETED after a device_del, say). Prints the answer's lines.
// Exit code 0 when the command succeeded (and the event came), 1 when the
// monitor refused it or the time-out (default 10000 ms) passed first.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class Monitor {
public:
    Monitor(int fd, Clock::time_point deadline) : fd_(fd), deadline_(deadline) {}

    // The next whole line (events and answers each take one), or false at
    // the deadline or when the machine closed the socket.
    bool nextLine(std::string& line)
    {
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    bool send(const std::string& text)
    {
        const std::string line = text + "\n";
        return ::write(fd_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }
    // Reads up to the answer of the command just sent; events before it are
    // kept in `seen` so that a wait for one of them still finds it.
    bool answer(std::string& seen)
    {
        std::string line;
        while (nextLine(line)) {
            if (line.find("\"return\"") != std::string::npos)
                return true;
            if (line.find("\"error\"") != std::string::npos) {
                std::fprintf(stderr, "realserial-qmp: %s\n", line.c_str());
                return false;
            }
            seen += line + "\n";
        }
        std::fprintf(stderr, "realserial-qmp: no answer from the monitor\n");
        return false;
    }

private:
    int fd_;
    Clock::time_point deadline_;
    std::string buffer_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "Usage: realserial-qmp SOCKET COMMAND_JSON [EVENT] [TIMEOUT_MS]\n");
        return 2;
    }
    const std::string event = argc > 3 ? argv[3] : "";
    const int timeoutMs = argc > 4 ? std::atoi(argv[4]) : 10000;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(argv[1]) >= sizeof address.sun_path) {
        std::fprintf(stderr, "realserial-qmp: socket path too long\n");
        return 2;
    }
    std::strcpy(address.sun_path, argv[1]);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("realserial-qmp: connect");
        return 1;
    }
    Monitor monitor(fd, deadline);
    std::string greeting, seen;
    if (!monitor.nextLine(greeting) || !monitor.send(R"({"execute":"qmp_capabilities"})")
        || !monitor.answer(seen) || !monitor.send(argv[2]) || !monitor.answer(seen))
        return 1;
    if (event.empty())
        return 0;
    const std::string wanted = "\"event\": \"" + event + "\"";
    std::string line;
    if (seen.find(wanted) != std::string::npos)
        return 0;
    while (monitor.nextLine(line))
        if (line.find(wanted) != std::string::npos)
            return 0;
    std::fprintf(stderr, "realserial-qmp: no %s within %d ms\n", event.c_str(), timeoutMs);
    return 1;
}
