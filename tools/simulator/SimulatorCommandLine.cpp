// Korvane - ZLS740 simulator.
// SPDX-License-Identifier: MIT
#include "SimulatorCommandLine.h"

#include "OptionReader.h"

#include <limits>

namespace zls740sim {

bool SimulatorCommandLine::parse(const std::vector<std::string>& arguments, SimulatorCommandLine& result,
                                 std::string* error)
{
    SimulatorCommandLine line;
    SimulatorOptions& o = line.options;
    korvane::OptionReader reader(arguments, error);
    while (reader.next()) {
        const std::string& name = reader.name();
        bool ok = true;
        if (name == "--help" || name == "-h")
            ok = reader.flag(line.help);
        else if (name == "--dir")
            ok = reader.text(o.linkDir);
        else if (name == "--com")
            ok = reader.integer(o.comNumber, 0);
        else if (name == "--answer-bytes")
            ok = reader.integer(o.answerBytes, 0);
        else if (name == "--trailing-after")
            ok = reader.integer(o.trailingAfterMs, 0);
        else if (name == "--silent")
            ok = reader.flag(o.silent);
        else if (name == "--stall-after")
            ok = reader.integer(o.stallAfterBytes, 0);
        else if (name == "--rate") {
            const auto rate = reader.decimal();
            if (!rate || *rate < 0)
                return reader.fail("option --rate needs a number of bytes per second, 0 or more");
            o.bytesPerSecond = *rate;
        } else if (name == "--trickle") {
            int ms = 0;
            if (!reader.integer(ms, 1))
                return false;
            o.bytesPerSecond = 1000.0 / ms;
        } else if (name == "--chatter") {
            const auto rate = reader.decimal();
            if (!rate || *rate <= 0)
                return reader.fail("option --chatter needs a number of lines per second, more than 0");
            o.chatterPerSecond = *rate;
        } else if (name == "--fault-every")
            ok = reader.integer(o.faultEvery, 0);
        else if (name == "--close-after")
            ok = reader.integer(o.closeAfterFrames, 0);
        else if (name == "--reopen-after")
            ok = reader.integer(o.reopenAfterMs, std::numeric_limits<int>::min());
        else if (name == "--replay")
            ok = reader.text(o.replayFile);
        else if (name == "--last-frame")
            ok = reader.text(o.lastFrameFile);
        else if (name == "--report")
            ok = reader.text(o.reportFile);
        else if (name == "--write-frame")
            ok = reader.text(line.writeFrameFile);
        else if (name == "--index")
            ok = reader.integer(line.frameIndex, 0);
        else
            return reader.fail("unknown option " + reader.argument());
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
