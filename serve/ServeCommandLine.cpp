// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "ServeCommandLine.h"

#include "OptionReader.h"
#include "PlatformTexts.h"
#include "SerialPort.h"
#include "SharedOptions.h"

#include <charconv>

namespace korvane {

namespace {

// HOST:PORT, the host in brackets when it is an IPv6 address ("[::1]:8740").
bool splitListen(const std::string& text, std::string& host, unsigned short& port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    std::string name = text.substr(0, colon);
    if (name.front() == '[') {
        if (name.size() < 3 || name.back() != ']')
            return false;
        name = name.substr(1, name.size() - 2);
    } else if (name.find(':') != std::string::npos) {
        return false;  // an IPv6 address needs its brackets
    }
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    unsigned short number = 0;
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec != std::errc() || end != last)
        return false;
    host = std::move(name);
    port = number;
    return true;
}

// The caps on connections: the one `name` sets, or none.
constexpr unsigned kMostCap = 65536;
unsigned* capOption(ConnectionBook::Caps& caps, const std::string& name)
{
    if (name == "--max-connections")
        return &caps.connections;
    if (name == "--max-viewers")
        return &caps.viewers;
    if (name == "--max-per-address")
        return &caps.perAddress;
    return nullptr;
}

}  // namespace

bool ServeCommandLine::parse(const std::vector<std::string>& arguments, ServeCommandLine& result, std::string* error)
{
    ServeCommandLine line;
    const auto own = [&line](OptionReader& reader) -> std::optional<bool> {
        const std::string& name = reader.name();
        bool ok = true;
        if (name == "--once")
            ok = reader.flag(line.once);
        else if (name == "--listen") {
            const auto v = reader.value();
            if (!v || !splitListen(*v, line.listenHost, line.listenPort))
                return reader.fail("option --listen needs HOST:PORT, such as 0.0.0.0:8740 or [::1]:8740");
        } else if (unsigned* cap = capOption(line.caps, name)) {
            ok = reader.integer(*cap, 1u, kMostCap);
        } else
            return std::nullopt;
        return ok;
    };
    const SharedOptions shared(line.help, line.version, line.port, line.baudRate, line.monochrome,
                               SerialPort::isBaudRate);
    if (!shared.read(arguments, error, own))
        return false;
    result = std::move(line);
    return true;
}

std::string ServeCommandLine::usage()
{
    return std::string("Usage: korvane-serve [options]\n"
                       "Shows the ZLS740's live screen in web browsers: holds the instrument's port\n"
                       "and serves a page, the screen as PNG and BMP, its state and the Pause and\n"
                       "Colour commands over HTTP and WebSocket.\n"
                       "\n"
                       "  --listen HOST:PORT  the address to serve on (default 127.0.0.1:8740; port 0\n"
                       "                      takes any free one). Any address other than loopback\n"
                       "                      gets an access token: open the address printed\n")
        + PlatformTexts::portOption()
        + "  --baud N            set the port to N bits per second first (default: keep\n"
          "                      the port's own rate)\n"
          "  --mono              start with the monochrome palette\n"
          "  --once              end when the link is lost (code 3) or no instrument is\n"
          "                      found (code 1) instead of looking again every 3 s\n"
          "  --max-viewers N     the most pages watching at once (default 256)\n"
          "  --max-connections N the most connections open at once, viewers included\n"
          "                      (default 512)\n"
          "  --max-per-address N the most connections from one machine (default 64)\n"
          "                      Connections beyond a cap get 503 and are closed\n"
          "  --help              show this text\n"
          "  --version           show the version\n"
          "\n"
          "Runs until interrupted "
        + PlatformTexts::serveStops()
        + ".\nExit codes: 0 interrupted, 1 no instrument (--once) or the address cannot be\n"
          "served on, 2 the command line cannot be used, 3 the link was lost (--once).\n";
}

}  // namespace korvane
