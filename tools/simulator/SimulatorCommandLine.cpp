// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "SimulatorCommandLine.h"

#include "OptionReader.h"
#include "SharedOptions.h"

#include <limits>
#include <optional>
#include <utility>

namespace zls740sim {

namespace {

// The options that name a file or folder, or take a whole number of 0 or
// more; none for any other.
std::optional<bool> readNameOrCount(korvane::OptionReader& reader, SimulatorCommandLine& line)
{
    SimulatorOptions& o = line.options;
    const std::pair<const char*, std::string*> names[] = {
        {"--dir", &o.linkDir},       {"--serve-device", &o.serveDevice},
        {"--replay", &o.replayFile}, {"--last-frame", &o.lastFrameFile},
        {"--report", &o.reportFile}, {"--write-frame", &line.writeFrameFile},
    };
    const std::pair<const char*, int*> counts[] = {
        {"--com", &o.comNumber},
        {"--trailing-after", &o.trailingAfterMs},
        {"--fault-every", &o.faultEvery},
        {"--close-after", &o.closeAfterFrames},
    };
    const std::pair<const char*, std::size_t*> sizes[] = {
        {"--answer-bytes", &o.answerBytes},
        {"--stall-after", &o.stallAfterBytes},
    };
    for (const auto& [name, target] : names)
        if (reader.name() == name)
            return reader.text(*target);
    for (const auto& [name, target] : counts)
        if (reader.name() == name)
            return reader.integer(*target, 0);
    for (const auto& [name, target] : sizes)
        if (reader.name() == name)
            return reader.integer(*target, 0);
    if (reader.name() == "--index")
        return reader.integer(line.frameIndex, 0);
    return std::nullopt;
}

// Every option of the simulator's own; none for any other.
std::optional<bool> readOwn(korvane::OptionReader& reader, SimulatorCommandLine& line)
{
    if (const auto read = readNameOrCount(reader, line))
        return read;
    SimulatorOptions& o = line.options;
    const std::string& name = reader.name();
    if (name == "--silent")
        return reader.flag(o.silent);
    if (name == "--rate") {
        const auto rate = reader.decimal();
        if (!rate || *rate < 0)
            return reader.fail("option --rate needs a number of bytes per second, 0 or more");
        o.bytesPerSecond = *rate;
        return true;
    }
    if (name == "--trickle") {
        int ms = 0;
        if (!reader.integer(ms, 1))
            return false;
        o.bytesPerSecond = 1000.0 / ms;
        return true;
    }
    if (name == "--chatter") {
        const auto rate = reader.decimal();
        if (!rate || *rate <= 0)
            return reader.fail("option --chatter needs a number of lines per second, more than 0");
        o.chatterPerSecond = *rate;
        return true;
    }
    if (name == "--reopen-after")
        return reader.integer(o.reopenAfterMs, std::numeric_limits<int>::min());
    return std::nullopt;
}

}  // namespace

bool SimulatorCommandLine::parse(const std::vector<std::string>& arguments, SimulatorCommandLine& result,
                                 std::string* error)
{
    SimulatorCommandLine line;
    const korvane::SharedOptions shared(line.help);
    // Words are called unknown options too: the simulator takes none.
    if (!shared.read(
            arguments, error, [&line](korvane::OptionReader& reader) { return readOwn(reader, line); }, std::nullopt))
        return false;
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
           "  --serve-device PATH  serve the existing serial device PATH in raw mode instead\n"
           "                       of a pseudo-terminal (no link); reopened after a hang-up\n"
           "  --answer-bytes N     bytes per answer: 40960 a frame (default), fewer a short\n"
           "                       answer, more adds trailing bytes A5\n"
           "  --trailing-after MS  send the trailing bytes MS milliseconds after the frame\n"
           "  --silent             never answer (requests are still counted)\n"
           "  --stall-after N      send N bytes in all, then nothing ever again\n"
           "  --rate BYTES_PER_S   pace the answers (default 0: as fast as the link takes them)\n"
           "  --trickle MS         send answers one byte every MS milliseconds (--rate 1000/MS)\n"
           "  --chatter N          send a text line N times a second unasked, like a board\n"
           "                       printing readings (with --silent: not an instrument)\n"
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
