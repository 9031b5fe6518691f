// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
//
// korvane-grab as scripts run it, against the simulated instrument.
#include "ChildProcess.h"
#include "PngWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <set>
#include <sstream>
#include <termios.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;

namespace {

using Arguments = std::vector<std::string>;

class GrabProgramTest : public ::testing::Test {
protected:
    zls740sim::Zls740Simulator& instrument(int com, zls740sim::SimulatorOptions options = {})
    {
        return instruments.start(dir->path(), com, options);
    }

    ProgramRun grab(const Arguments& arguments, const RunOptions& options = {})
    {
        return runProgram(KORVANE_GRAB_PROGRAM, arguments, dir->path().string(), options);
    }

    // A fresh working folder with only ports that do not open, so that the
    // search never depends on the serial devices of the machine.
    void startOver()
    {
        instruments.clear();
        dir = std::make_unique<ScratchDir>();
        for (int n = 2; n <= 9; ++n)
            std::filesystem::create_symlink("/dev/no-such-port", dir->file("COM" + std::to_string(n)));
    }

    // Files in the working folder other than the ports and korvane's own.
    std::set<std::string> images() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir->path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("COM", 0) != 0 && name != "header2.bin" && name != "log.txt")
                names.insert(name);
        }
        return names;
    }

    std::unique_ptr<ScratchDir> dir;
    Instruments instruments;
};

}  // namespace

TEST_F(GrabProgramTest, WritesTheScreenTheInstrumentSentAsTheViewersSnapshot)
{
    const struct {
        Arguments arguments;
        std::string file;  // empty: standard output
        bool png;
        std::int32_t colourMode;
    } rows[] = {
        {{"-o", "shot"}, "shot", false, 1},
        {{"--output=Shot.PNG", "--mono"}, "Shot.PNG", true, 0},
        {{"-o", "-", "--format", "png"}, "", true, 1},
        {{"--format", "bmp", "-o", "bmp-named.png"}, "bmp-named.png", false, 1},
        {{"--count=1", "-o", "-"}, "", false, 1},  // a series of one may go to standard output
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        startOver();
        // korvane's header in the working folder (with bytes of its own) is
        // used; its log is left alone.
        HeaderBytes custom = HeaderTemplate::builtIn();
        custom[6] = 0x42;
        custom[54 + 4 * 3 + 3] = 0x99;
        writeFile(dir->file("header2.bin"), std::string(custom.begin(), custom.end()));
        writeFile(dir->file("log.txt"), std::string("C\0\0C", 4));
        auto& com5 = instrument(5);

        const ProgramRun run = grab(row.arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        // The search's request and one for the screen; an answer a busy
        // machine cut short is asked for again.
        EXPECT_GE(com5.requestCount(), 2u);
        EXPECT_EQ(fileContents(dir->file("log.txt")), std::string("C\0\0C", 4));

        std::string expected = engineSnapshot(com5.lastFrame(), custom, row.colourMode);
        ASSERT_EQ(expected[6], 0x42);
        if (row.png) {
            std::ostringstream png;
            ASSERT_TRUE(PngWriter::write(png, expected));
            expected = png.str();
        }
        const std::string written = row.file.empty() ? run.out : fileContents(dir->file(row.file));
        EXPECT_TRUE(written == expected) << "not the bytes the viewer's Save/Print writes";
        if (!row.file.empty()) {
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(images(), (std::set<std::string>{row.file})) << "no other file is left";
        }
    }
}

// The search is the engine's; a named port is not searched.
TEST_F(GrabProgramTest, TakesTheNamedPortWithoutASearch)
{
    startOver();
    auto& com9 = instrument(9);
    auto& com4 = instrument(4);
    ASSERT_EQ(grab({"--port", "COM4", "-o", "shot.bmp"}).exitCode, 0);
    EXPECT_GE(com4.requestCount(), 1u);
    EXPECT_EQ(com9.requestCount(), 0u);
    const std::string programDir = std::filesystem::path(KORVANE_GRAB_PROGRAM).parent_path().string();
    const HeaderBytes header = HeaderTemplate::load({dir->file("header2.bin"), programDir + "/header2.bin"});
    EXPECT_TRUE(fileContents(dir->file("shot.bmp")) == engineSnapshot(com4.lastFrame(), header, 1));
}

TEST_F(GrabProgramTest, BaudSetsThePortsRate)
{
    startOver();
    auto& com4 = instrument(4);
    ASSERT_EQ(grab({"--port", "COM4", "--baud", "57600", "-o", "shot.bmp"}).exitCode, 0);
    termios line{};
    const int fd = ::open(com4.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::tcgetattr(fd, &line);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&line), speed_t(B57600));
    EXPECT_EQ(::cfgetispeed(&line), speed_t(B57600));
}

TEST_F(GrabProgramTest, SeriesTakesANewScreenUnderADistinctTimeStampedNameEachTime)
{
    startOver();
    auto& com5 = instrument(5);
    const ProgramRun run = grab({"--count", "3", "--interval", "0.05", "-o", "shot.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(com5.requestCount(), 4u) << "the search's request and one a screen";

    const std::set<std::string> names = images();
    ASSERT_EQ(names.size(), 3u);
    std::set<std::string> pictures;
    for (const std::string& name : names) {
        EXPECT_TRUE(name.starts_with("shot-20") && name.ends_with(".png")) << name;  // the rest is SeriesNames'
        pictures.insert(fileContents(dir->file(name)));
    }
    EXPECT_EQ(pictures.size(), 3u) << "the instrument's picture moves: every screen differs";
}

// Every failure ends with its code and one line, leaves no half file and
// keeps older files; a wrong command line asks the instrument for nothing.
TEST_F(GrabProgramTest, EachFailureEndsWithItsCodeAndOneLine)
{
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    zls740sim::SimulatorOptions talker = silent;
    talker.chatterPerSecond = 200;
    zls740sim::SimulatorOptions vanishing;
    vanishing.closeAfterFrames = 2;  // the search's answer and one screen
    const struct {
        const char* what;
        int com;  // where an instrument is; 0: nowhere
        zls740sim::SimulatorOptions sim;
        Arguments arguments;
        int code;
        std::string message;
        std::size_t kept = 0;  // screens written before the failure
        RunOptions options = {};
    } rows[] = {
        // clang-format off
        {"no port opens", 0, {}, {"-o", "a.bmp"}, 1, "no instrument answers on COM9 to COM2"},
        {"a board that talks unasked", 9, talker, {"--timeout", "2", "-o", "a.bmp"}, 1,
         "; passed over, sending without being asked: COM9 ("},
        {"not a serial port", 0, {}, {"--port", "/dev/null", "-o", "a.bmp"}, 1,
         "cannot open the port /dev/null: not a serial port"},
        {"a name without a device", 0, {}, {"--port", "COM1", "-o", "a.bmp"}, 1,
         "cannot open the port COM1: no device of that name"},
        {"no screen in time", 5, silent, {"--port", "COM5", "--timeout", "0.3", "-o", "a.bmp"}, 1,
         "COM5) within 0.3 s"},
        {"the link lost in a series", 5, vanishing,
         {"--count", "3", "--interval", "0", "-o", "s.bmp"}, 3, ") was lost", 1},
        {"a folder that is a file", 5, {}, {"-o", "plain/s.bmp"}, 4, "cannot create a file beside plain/s.bmp"},
        // A write that fails part-way, as on a full disk.
        {"a file-size limit", 5, {}, {"-o", "older.bmp"}, 4, "cannot write older.bmp: File too large", 0, {"", 10240}},
        {"a full standard output", 5, {}, {"-o", "-"}, 4, "cannot write to standard output: No space left", 0,
         {"/dev/full", 0}},
        // A wrong command line, with the reason and where to read more.
        {"an unknown option", 5, {}, {"--frobnicate", "-o", "a.bmp"}, 2, "unknown option --frobnicate"},
        {"no image file", 5, {}, {}, 2, "no image file given"},
        {"a series to standard output", 5, {}, {"-o", "-", "--count", "2"}, 2, "a series of screens needs a file name"},
        {"an unknown type", 0, {}, {"-o", "a.jpg"}, 2, "cannot tell the image format from a.jpg"},
        {"an unknown format", 0, {}, {"-o", "a.bmp", "--format", "jpg"}, 2, "option --format needs bmp or png"},
        {"no screens", 0, {}, {"-o", "a.bmp", "--count", "0"}, 2, "--count needs a whole number from 1"},
        {"an interval alone", 0, {}, {"-o", "a.bmp", "--interval", "2"}, 2, "--interval needs --count"},
        {"no time", 0, {}, {"-o", "a.bmp", "--timeout", "0"}, 2,
         "option --timeout needs a number of seconds, more than 0"},
        // clang-format on
    };
    const std::string older = "an older picture";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        startOver();
        writeFile(dir->file("plain"), "a file, not a folder");
        writeFile(dir->file("older.bmp"), older);
        zls740sim::Zls740Simulator* started = row.com != 0 ? &instrument(row.com, row.sim) : nullptr;
        ProgramRun run = grab(row.arguments, row.options);
        // A busy machine can hold the talker up past the search's 200 ms of
        // listening; asked for a screen then, it sends none: such a run is tried again.
        for (int again = 0; again < 3 && run.err.find(row.message) == std::string::npos
             && run.err.find("no whole screen from COM9") != std::string::npos;
             ++again)
            run = grab(row.arguments, row.options);
        EXPECT_EQ(run.exitCode, row.code);
        EXPECT_TRUE(run.err.starts_with("korvane-grab: ") && run.err.find('\n') == run.err.size() - 1) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_EQ(fileContents(dir->file("older.bmp")), older);
        EXPECT_EQ(images().size(), 2 + row.kept) << "a half file is left";
        if (row.code == 2) {
            EXPECT_NE(run.err.find(" (see korvane-grab --help)"), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(started ? started->requestCount() : 0u, 0u);
        }
    }
}
