// Korvane - screen acquisition engine fuzzers.
// SPDX-License-Identifier: MIT
//
// The reader thread, running as in korvane, against an instrument on a
// pseudo-terminal whose answers the input describes: every four bytes one
// answer, whole (40960 bytes), short or overlong, in up to four pieces a few
// milliseconds apart (a boundary often right at the end of the frame or just
// before it), the colour mode switched when its request arrives.
//
// Every screen published is the first 40960 bytes of one answer, newer than
// the one before, with one whole palette; a whole answer after one that was
// not overlong is shown; the reader asks again after every answer and never
// reports a lost link. Not judged (but for their palettes), and counted: the
// screens after trailing bytes that came after a pause (only reading every
// answer to its end, 50 ms a screen, could tell those from a late frame), and
// every screen of a run in which the machine held the instrument up near the
// 50 ms that end an answer (another instrument than the one described).
#include "Engine.h"
#include "FrameDecoder.h"
#include "FuzzCheck.h"
#include "Palettes.h"
#include "PseudoTerminal.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace korvane;
using korvane::fuzz::check;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

using Pixels = std::vector<std::uint8_t>;

constexpr std::size_t kMostAnswers = 10;
constexpr int kLongestGapMs = 7;
// Beyond this much delay that the input did not ask for, a gap may come near
// the 50 ms that end an answer.
constexpr auto kStall = milliseconds(20);
// The reader asks again within this time after any answer (a short answer
// costs 50 ms, the first overlong one up to two seconds of draining).
constexpr auto kNextRequestWithin = std::chrono::seconds(20);

enum class Kind { Whole, Short, Overlong };

struct Answer {
    Kind kind = Kind::Whole;
    bool switchColour = false;
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> cuts;  // piece boundaries, ascending, inside the answer
    int gapMs = 0;                  // before every piece but the first
    Pixels decoded;                 // the first 40960 bytes decoded, when there are so many
};

std::uint64_t splitMix(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<Answer> plan(const std::uint8_t* data, std::size_t size)
{
    static std::uint64_t answersMade = 0;
    std::vector<Answer> answers;
    for (std::size_t at = 0; at + 4 <= size && answers.size() < kMostAnswers; at += 4) {
        const std::uint8_t shape = data[at];
        const unsigned value = data[at + 1] | data[at + 2] << 8;
        const std::uint8_t pieces = data[at + 3];
        const bool near = shape & 0x10;
        Answer answer;
        answer.switchColour = shape & 0x08;
        std::size_t length = kFrameBytes;
        switch (shape & 7) {
        case 4:
        case 5:
            answer.kind = Kind::Short;
            length = near ? kFrameBytes - 1 - value % 64 : 1 + value % (kFrameBytes - 1);
            break;
        case 6:
        case 7:
            answer.kind = Kind::Overlong;
            length = kFrameBytes + 1 + (near ? value % 16 : value % 8192);
            break;
        default:
            break;
        }
        // Every answer of every run has bytes of its own.
        std::uint64_t state = ++answersMade;
        answer.bytes.resize(length);
        for (std::size_t i = 0; i < length; i += 8) {
            const std::uint64_t word = splitMix(state);
            std::memcpy(answer.bytes.data() + i, &word, std::min<std::size_t>(8, length - i));
        }
        std::uint64_t cutState = value * 31u + pieces;
        for (int n = pieces & 3; n > 0; --n) {
            std::size_t cut = 1 + splitMix(cutState) % (length - 1 + (length == 1));
            if (n == (pieces & 3)) {
                switch (shape >> 5) {
                case 2: cut = kFrameBytes; break;                      // trailing bytes come late
                case 3: cut = kFrameBytes - 1 - value % 64; break;     // the frame's last bytes come late
                case 4: cut = kFrameBytes - 1 - value % 4096; break;
                default: break;
                }
            }
            if (cut > 0 && cut < length)
                answer.cuts.push_back(cut);
        }
        std::sort(answer.cuts.begin(), answer.cuts.end());
        answer.cuts.erase(std::unique(answer.cuts.begin(), answer.cuts.end()), answer.cuts.end());
        answer.gapMs = (pieces >> 2) % (kLongestGapMs + 1);
        if (length >= kFrameBytes) {
            answer.decoded.resize(kPixelBytes);
            FrameDecoder::decode(answer.bytes.data(), answer.decoded.data());
        }
        answers.push_back(std::move(answer));
    }
    return answers;
}

// What the window would paint: every published screen, caught right after
// publishing, on the reader thread.
class WatchingHost : public EngineHost {
public:
    struct Screen {
        Clock::time_point shownAt;
        std::uint64_t number;
        Pixels pixels;
        std::array<std::uint8_t, 4 * kPaletteEntries> palette;
    };

    void requestRepaint() override
    {
        engine->screen().read([this](const ScreenView& view) {
            if (!screens.empty() && screens.back().number == view.screenNumber)
                return;
            Screen screen{Clock::now(), view.screenNumber, Pixels(view.pixelData, view.pixelData + kPixelBytes), {}};
            std::memcpy(screen.palette.data(), view.bitmapInfo + (kPaletteOffset - kInfoHeaderOffset),
                        screen.palette.size());
            screens.push_back(std::move(screen));
        });
    }
    void showConnectionError() override
    {
        ++errors;
        engine->acknowledgeConnectionError();
    }

    Engine* engine = nullptr;
    std::vector<Screen> screens;  // reader thread only, until the engine is shut down
    std::atomic<int> errors{0};
};

// The instrument's end of the line.
class Instrument {
public:
    explicit Instrument(int fd) : fd_(fd) {}

    // The next 4-byte request, or false when none came in time.
    bool awaitRequest()
    {
        const auto deadline = Clock::now() + kNextRequestWithin;
        while (pending_.size() < sizeof screenRequest) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd{fd_, POLLIN, 0};
            if (::poll(&fd, 1, int(left)) <= 0)
                continue;
            std::uint8_t bytes[64];
            const ssize_t n = ::read(fd_, bytes, sizeof bytes);
            if (n > 0)
                pending_.insert(pending_.end(), bytes, bytes + n);
        }
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
                if (Clock::now() - lastActivity > allowed + kStall)
                    stalled = true;
                const ssize_t n = ::write(fd_, answer.bytes.data() + from, to - from);
                lastActivity = Clock::now();
                allowed = milliseconds(0);
                if (n > 0) {
                    from += std::size_t(n);
                    continue;
                }
                check(n < 0 && (errno == EAGAIN || errno == EINTR), "the line takes the answer");
                // The line is full: the reader has bytes to read until it has room again.
                pollfd fd{fd_, POLLOUT, 0};
                ::poll(&fd, 1, 1000);
                lastActivity = Clock::now();
            }
        }
    }

    bool stalled = false;
    // When the first trailing bytes that come after a pause were sent.
    std::optional<Clock::time_point> trailingAfterPause;

private:
    int fd_;
    std::vector<std::uint8_t> pending_;
};

bool isPalette(const std::uint8_t* entries, const Palette& palette)
{
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const std::uint8_t* e = entries + 4 * i;
        if (e[0] != palette[i].blue || e[1] != palette[i].green || e[2] != palette[i].red)
            return false;
    }
    return true;
}

struct Totals {
    ~Totals()
    {
        std::fprintf(stderr,
                     "summary: %llu runs, %llu screens judged; not judged: %llu screens after trailing bytes "
                     "that came after a pause, all screens of %llu runs in which the machine stalled the instrument\n",
                     runs, screens, afterPausedTrailing, stalled);
    }
    unsigned long long runs = 0, screens = 0, afterPausedTrailing = 0, stalled = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-reader-fuzz.XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        return std::filesystem::path(pattern);
    }();
    static Totals totals;

    const std::vector<Answer> answers = plan(data, size);
    if (answers.empty())
        return 0;
    ++totals.runs;

    zls740sim::PseudoTerminal line;
    std::string error;
    const auto fuzzConfig = [](const std::string& workDir) {
        EngineConfig config;
        config.workDir = workDir;
        config.linkLog = false;
        return config;
    };
    check(line.open((folder / "COM5").string(), &error), "a pseudo-terminal can be made");
    WatchingHost host;
    Engine engine(host, fuzzConfig(folder.string()));
    host.engine = &engine;
    engine.initEngine();
    engine.setPortName("COM5");
    check(engine.openLink() == 0, "the link comes up");

    Instrument instrument(line.masterFd());
    std::size_t unambiguous = answers.size();  // answers before the first trailing bytes after a pause
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const Answer& answer = answers[i];
        check(instrument.awaitRequest(), "the reader asks again after every answer");
        if (answer.switchColour)
            engine.setColorMode(engine.isColorMode() == 1 ? 0 : 1);
        instrument.send(answer);
        if (instrument.trailingAfterPause && unambiguous == answers.size())
            unambiguous = i;
    }
    check(instrument.awaitRequest(), "the reader asks again after every answer");
    engine.shutdown();
    line.close();
    check(host.errors == 0, "no lost link is reported");

    for (const auto& screen : host.screens)
        check(isPalette(screen.palette.data(), Palettes::colour()) || isPalette(screen.palette.data(), Palettes::monochrome()),
              "every screen has one whole palette");
    if (instrument.stalled) {
        ++totals.stalled;
        return 0;
    }
    std::vector<bool> shown(answers.size(), false);
    std::size_t next = 0;  // screens only get newer
    for (const auto& screen : host.screens) {
        if (instrument.trailingAfterPause && screen.shownAt >= *instrument.trailingAfterPause) {
            ++totals.afterPausedTrailing;
            continue;
        }
        std::size_t i = next;
        while (i < answers.size() && answers[i].decoded != screen.pixels)
            ++i;
        if (i == answers.size()) {
            bool older = false;
            for (std::size_t j = 0; j < next; ++j)
                older = older || answers[j].decoded == screen.pixels;
            check(!older, "no screen is older than the one shown before it");
            check(false, "every screen is the first 40960 bytes of one answer");
        }
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
