// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "SimulatorCommandLine.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace zls740sim {

namespace {

template <typename Integer>
bool parseInteger(const std::string& text, Integer minimum, Integer& value)
{
    Integer parsed{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < minimum)
        return false;
    value = parsed;
    return true;
}

bool parseRate(const std::string& text, double& value)
{
    std::size_t used = 0;
    double parsed = 0;
    try {
        parsed = std::stod(text, &used);
    } catch (...) {
        return false;
    }
    if (used != text.size() || !std::isfinite(parsed) || parsed < 0)
        return false;
    value = parsed;
    return true;
}

}  // namespace

bool SimulatorCommandLine::parse(const std::vector<std::string>& arguments, SimulatorCommandLine& result,
                                 std::string* error)
{
    SimulatorCommandLine line;
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue)
                return fail("option " + name + " takes no value");
            target = true;
            return true;
        };
        auto text = [&](std::string& target) {
            const auto v = value();
            if (!v || v->empty())
                return fail("option " + name + " needs a value");
            target = *v;
            return true;
        };
        auto integer = [&](auto& target, auto minimum) {
            const auto v = value();
            if (!v || !parseInteger(*v, minimum, target))
                return fail("option " + name + " needs a whole number of at least " + std::to_string(minimum));
            return true;
        };

        SimulatorOptions& o = line.options;
        bool ok = true;
        if (name == "--help" || name == "-h")
            ok = flag(line.help);
        else if (name == "--dir")
            ok = text(o.linkDir);
        else if (name == "--com")
            ok = integer(o.comNumber, 0);
        else if (name == "--answer-bytes")
            ok = integer(o.answerBytes, std::size_t{0});
        else if (name == "--trailing-after")
            ok = integer(o.trailingAfterMs, 0);
        else if (name == "--silent")
            ok = flag(o.silent);
        else if (name == "--stall-after")
            ok = integer(o.stallAfterBytes, std::size_t{0});
        else if (name == "--rate") {
            const auto v = value();
            ok = v && parseRate(*v, o.bytesPerSecond);
            if (!ok)
                return fail("option --rate needs a number of bytes per second, 0 or more");
        } else if (name == "--fault-every")
            ok = integer(o.faultEvery, 0);
        else if (name == "--close-after")
            ok = integer(o.closeAfterFrames, 0);
        else if (name == "--reopen-after")
            ok = integer(o.reopenAfterMs, std::numeric_limits<int>::min());
        else if (name == "--replay")
            ok = text(o.replayFile);
        else if (name == "--last-frame")
            ok = text(o.lastFrameFile);
        else if (name == "--report")
            ok = text(o.reportFile);
        else if (name == "--write-frame")
            ok = text(line.writeFrameFile);
        else if (name == "--index")
            ok = integer(line.frameIndex, std::uint64_t{0});
        else
            return fail("unknown option " + arguments[i]);
        if (!ok)
            return false;
    }
    result = std::move(line);
    return true;
}

std::string SimulatorCommandLine::usage()
{
    return "Usage: zls740-sim [options]\n"
           "Stands in for the ZLS740 oscilloscope on a pseudo-terminal linked as DIR/COMn;\n"
           "runs until SIGINT or SIGTERM, then removes the link.\n"
           "\n"
           "  --dir DIR            folder of the link (default .)\n"
           "  --com N              link name COMn (default 5)\n"
           "  --answer-bytes N     bytes per answer: 40960 a frame (default), fewer a short\n"
           "                       answer, more adds trailing bytes A5\n"
           "  --trailing-after MS  send the trailing bytes MS milliseconds after the frame\n"
           "  --silent             never answer (requests are still counted)\n"
           "  --stall-after N      send N bytes in all, then nothing ever again\n"
           "  --rate BYTES_PER_S   pace the answers (default 0: as fast as the link takes them)\n"
           "  --fault-every N      --answer-bytes and --rate apply to every Nth answer only;\n"
           "                       the others are whole frames at full speed\n"
           "  --close-after N      after N complete answers the instrument vanishes: the\n"
           "                       pseudo-terminal is closed and the link removed\n"
           "  --reopen-after MS    with --close-after: come back after MS milliseconds on a\n"
           "                       new pseudo-terminal under the same link name\n"
           "  --replay FILE        send the 40960-byte frames of FILE in turn, repeated,\n"
           "                       instead of drawn ones\n"
           "  --last-frame FILE    write each answered frame to FILE (replaced atomically)\n"
           "  --report FILE        write a text report to FILE after each request\n"
           "  --write-frame FILE   only write the drawn frame number --index N to FILE\n"
           "  --index N            frame number for --write-frame (default 0)\n"
           "  --help               show this text\n"
           "\n"
           "Report lines: 'requests N', 'frames N', 'link up DEVICE' or 'link down',\n"
           "'pending [XX ...]', then 'request XX XX XX XX' for every request received.\n";
}

}  // namespace zls740sim
