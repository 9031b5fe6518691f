// Korvane - screen acquisition engine fuzzers.
// SPDX-License-Identifier: MIT
//
// The reader thread against an instrument on a pseudo-terminal whose answers
// the input describes, four bytes an answer: whole (40960 bytes), short or
// overlong, in up to four pieces a few milliseconds apart, the colour mode
// switched when its request arrives. Not judged (but for their palettes):
// screens after trailing bytes that came after a pause (only 50 ms of waiting
// at every answer's end could tell those from a late frame), and every screen
// of a run in which the busy machine held the instrument up near the 50 ms
// that end an answer.
#include "Engine.h"
#include "FrameDecoder.h"
#include "FuzzCheck.h"
#include "Palettes.h"
#include "TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <random>
#include <unistd.h>

using namespace korvane;
using korvane::fuzz::check;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Beyond this much delay that the input did not ask for, a gap may come near
// the 50 ms that end an answer.
constexpr auto kStall = milliseconds(20);

enum class Kind { Whole, Short, Overlong };

struct Answer {
    Kind kind = Kind::Whole;
    bool switchColour = false;
    Bytes bytes;
    std::vector<std::size_t> cuts;  // piece boundaries, ascending, inside the answer
    int gapMs = 0;                  // before every piece but the first
    Bytes decoded;                  // the first 40960 bytes decoded, when there are so many
};

// Per answer: a shape byte (bits 0-2 the kind: 4, 5 short, 6, 7 overlong;
// bit 3 switch the colour; bit 4 a length near the frame's; bits 5-7 where
// the first cut goes), two bytes of length and cut, and a byte of pieces
// (bits 0-1) and gap (the rest, up to 7 ms).
std::vector<Answer> plan(const std::uint8_t* data, std::size_t size)
{
    static std::mt19937_64 content;  // every answer of every run has bytes of its own
    std::vector<Answer> answers;
    for (std::size_t at = 0; at + 4 <= size && answers.size() < 10; at += 4) {
        const std::uint8_t shape = data[at];
        const unsigned value = data[at + 1] | data[at + 2] << 8;
        const std::uint8_t pieces = data[at + 3];
        const bool near = shape & 0x10;
        Answer answer;
        answer.switchColour = shape & 0x08;
        std::size_t length = kFrameBytes;
        if ((shape & 6) == 4) {
            answer.kind = Kind::Short;
            length = near ? kFrameBytes - 1 - value % 64 : 1 + value % (kFrameBytes - 1);
        } else if ((shape & 6) == 6) {
            answer.kind = Kind::Overlong;
            length = kFrameBytes + 1 + (near ? value % 16 : value % 8192);
        }
        answer.bytes.resize(length);
        std::generate(answer.bytes.begin(), answer.bytes.end(), [] { return std::uint8_t(content()); });
        std::mt19937 cutAt(value * 31u + pieces);
        for (int n = pieces & 3; n > 0; --n) {
            std::size_t cut = cutAt() % length;
            if (n == (pieces & 3)) {
                switch (shape >> 5) {
                case 2: cut = kFrameBytes; break;                   // trailing bytes come late
                case 3: cut = kFrameBytes - 1 - value % 64; break;  // the frame's last bytes come late
                case 4: cut = kFrameBytes - 1 - value % 4096; break;
                default: break;
                }
            }
            if (cut > 0 && cut < length)
                answer.cuts.push_back(cut);
        }
        std::sort(answer.cuts.begin(), answer.cuts.end());
        answer.cuts.erase(std::unique(answer.cuts.begin(), answer.cuts.end()), answer.cuts.end());
        answer.gapMs = (pieces >> 2) % 8;
        if (length >= kFrameBytes) {
            answer.decoded.resize(kPixelBytes);
            FrameDecoder::decode(answer.bytes.data(), answer.decoded.data());
        }
        answers.push_back(std::move(answer));
    }
    return answers;
}

// A published screen, caught on the reader thread right after publishing.
struct Screen {
    Clock::time_point shownAt;
    Bytes pixels;
    bool onePalette;
};

// The instrument's end of the line (non-blocking).
class Instrument {
public:
    explicit Instrument(int fd)
        : fd_(fd)
    {
    }

    // The next request, or false when none came in time (the first overlong
    // answer costs the reader up to two seconds of draining).
    bool awaitRequest()
    {
        if (!test::waitFor(
                [&] {
                    std::uint8_t bytes[64];
                    const ssize_t n = ::read(fd_, bytes, sizeof bytes);
                    if (n > 0)
                        pending_.insert(pending_.end(), bytes, bytes + n);
                    return pending_.size() >= sizeof screenRequest;
                },
                std::chrono::seconds(20)))
            return false;
        check(std::equal(screenRequest, screenRequest + sizeof screenRequest, pending_.begin()),
              "the reader sends nothing but screen requests");
        pending_.erase(pending_.begin(), pending_.begin() + sizeof screenRequest);
        return true;
    }

    void send(const Answer& answer)
    {
        std::size_t from = 0;
        auto lastActivity = Clock::now();
        for (std::size_t piece = 0; piece <= answer.cuts.size(); ++piece) {
            const std::size_t to = piece < answer.cuts.size() ? answer.cuts[piece] : answer.bytes.size();
            auto allowed = milliseconds(0);
            if (piece > 0 && answer.gapMs > 0) {
                std::this_thread::sleep_for(milliseconds(answer.gapMs));
                allowed = milliseconds(answer.gapMs);
                if (from >= kFrameBytes && !trailingAfterPause)
                    trailingAfterPause = Clock::now();
            }
            while (from < to) {
                stalled = stalled || Clock::now() - lastActivity > allowed + kStall;
                const ssize_t n = ::write(fd_, answer.bytes.data() + from, to - from);
                allowed = milliseconds(0);
                if (n > 0) {
                    from += std::size_t(n);
                } else {
                    check(n < 0 && (errno == EAGAIN || errno == EINTR), "the line takes the answer");
                    // The line is full: the reader has bytes to read until it
                    // has room again, unless this thread wakes up late.
                    pollfd fd{fd_, POLLOUT, 0};
                    const auto full = Clock::now();
                    ::poll(&fd, 1, 1000);
                    stalled = stalled || Clock::now() - full > kStall;
                }
                lastActivity = Clock::now();
            }
        }
    }

    bool stalled = false;
    // When the first trailing bytes that come after a pause were sent.
    std::optional<Clock::time_point> trailingAfterPause;

private:
    int fd_;
    Bytes pending_;
};

struct Totals {
    ~Totals()
    {
        std::fprintf(stderr,
                     "summary: %llu runs, %llu screens judged; not judged: %llu screens after trailing bytes "
                     "after a pause, all screens of %llu runs the machine stalled\n",
                     runs, screens, afterPause, stalled);
    }
    unsigned long long runs = 0, screens = 0, afterPause = 0, stalled = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const test::ScratchDir folder;
    static Totals totals;
    const std::vector<Answer> answers = plan(data, size);
    if (answers.empty())
        return 0;
    ++totals.runs;

    zls740sim::PseudoTerminal line;
    std::string error;
    check(line.open(folder.file("COM5"), &error), "a pseudo-terminal can be made");
    test::FakeHost host;
    EngineConfig config = test::testConfig(folder.path());
    config.linkLog = false;
    Engine engine(host, config);
    std::vector<Screen> screens;  // reader thread only, until the engine is shut down
    host.onScreen = [&] {
        engine.screen().read([&](const ScreenView& view) {
            const std::uint8_t* palette = view.bitmapInfo + (kPaletteOffset - kInfoHeaderOffset);
            screens.push_back(
                {Clock::now(), Bytes(view.pixelData, view.pixelData + kPixelBytes),
                 test::isPalette(palette, Palettes::colour()) || test::isPalette(palette, Palettes::monochrome())});
        });
    };
    engine.initEngine();
    engine.setPortName("COM5");
    check(engine.openLink() == 0, "the link comes up");

    Instrument instrument(line.masterFd());
    std::size_t unambiguous = answers.size();  // answers before the first trailing bytes after a pause
    for (std::size_t i = 0; i < answers.size(); ++i) {
        check(instrument.awaitRequest(), "the reader asks again after every answer");
        if (answers[i].switchColour)
            engine.setColorMode(engine.isColorMode() == 1 ? 0 : 1);
        instrument.send(answers[i]);
        if (instrument.trailingAfterPause && unambiguous == answers.size())
            unambiguous = i;
    }
    check(instrument.awaitRequest(), "the reader asks again after every answer");
    engine.shutdown();
    line.close();
    check(host.linkLosses == 0, "no lost link is reported");

    for (const auto& screen : screens)
        check(screen.onePalette, "every screen has one whole palette");
    if (instrument.stalled) {
        ++totals.stalled;
        return 0;
    }
    std::vector<bool> shown(answers.size(), false);
    std::size_t next = 0;  // screens only get newer
    for (const auto& screen : screens) {
        if (instrument.trailingAfterPause && screen.shownAt >= *instrument.trailingAfterPause) {
            ++totals.afterPause;
            continue;
        }
        std::size_t i = next;
        while (i < answers.size() && answers[i].decoded != screen.pixels)
            ++i;
        check(i < answers.size(), "every screen is the first 40960 bytes of one answer, newer than the one before");
        shown[i] = true;
        next = i + 1;
        ++totals.screens;
    }
    for (std::size_t i = 0; i < unambiguous; ++i) {
        const bool afterOverlong = i > 0 && answers[i - 1].kind == Kind::Overlong;
        if (answers[i].kind == Kind::Whole && !afterOverlong)
            check(shown[i], "a whole answer after one that was not overlong is shown");
    }
    return 0;
}
