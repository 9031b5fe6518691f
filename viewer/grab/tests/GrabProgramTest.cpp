// Korvane - command-line capture tests.
// SPDX-License-Identifier: MIT
//
// korvane-grab as scripts run it, against the simulated instrument.
#include "GrabTestSupport.h"
#include "Version.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <termios.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;

namespace {

using Arguments = std::vector<std::string>;

bool isOneLineMessage(const std::string& err)
{
    return err.rfind("korvane-grab: ", 0) == 0 && err.find('\n') == err.size() - 1;
}

class GrabProgramTest : public ::testing::Test {
protected:
    zls740sim::Zls740Simulator& instrument(int com, zls740sim::SimulatorOptions options = {})
    {
        return instruments.start(dir->path(), com, options);
    }

    ProgramRun grab(const Arguments& arguments, const RunOptions& options = {})
    {
        return runGrab(arguments, dir->path().string(), options);
    }

    // A fresh working folder and no instruments, for the next row of a table.
    void startOver()
    {
        instruments.clear();
        dir = std::make_unique<ScratchDir>();
    }

    // Ports that do not open, so that the search never depends on the
    // serial devices of the machine the test runs on.
    void deadPortsOnly()
    {
        for (int n = 2; n <= 9; ++n)
            std::filesystem::create_symlink("/dev/no-such-port", dir->file("COM" + std::to_string(n)));
    }

    // The header korvane would use in this working folder.
    HeaderBytes header() const
    {
        return HeaderTemplate::load({dir->file("header2.bin"), grabProgramDir() + "/header2.bin"});
    }

    // Files in the working folder other than the ports and header2.bin.
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

    std::unique_ptr<ScratchDir> dir = std::make_unique<ScratchDir>();
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
        {{"-o", "shot.bmp"}, "shot.bmp", false, 1},
        {{"-o", "-", "--format", "png", "--mono"}, "", true, 0},
        {{"--format", "bmp", "-o", "bmp-named.png"}, "bmp-named.png", false, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        startOver();
        deadPortsOnly();
        // korvane's own files in the working folder: its header (with bytes
        // of its own that the snapshot carries) is used, its log left alone.
        HeaderBytes custom = HeaderTemplate::builtIn();
        custom[6] = 0x42;
        custom[54 + 4 * 3 + 3] = 0x99;
        writeFile(dir->file("header2.bin"), std::string(custom.begin(), custom.end()));
        writeFile(dir->file("log.txt"), std::string("C\0\0C", 4));
        auto& com5 = instrument(5);

        const ProgramRun run = grab(row.arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(com5.requestCount(), 2u) << "the search's request and one for the screen";
        EXPECT_EQ(fileContents(dir->file("log.txt")), std::string("C\0\0C", 4));

        const std::string expected = engineSnapshot(com5.lastFrame(), custom, row.colourMode);
        ASSERT_EQ(expected[6], 0x42);
        const std::string written = row.file.empty() ? run.out : fileContents(dir->file(row.file));
        if (!row.png) {
            EXPECT_EQ(written.size(), 38518u);
            EXPECT_TRUE(written == expected) << "not the bytes the viewer's Save/Print writes";
        } else {
            ASSERT_EQ(written.substr(0, 8), "\x89PNG\r\n\x1a\n");
            ScratchDir elsewhere;
            writeFile(elsewhere.file("decoded.png"), written);
            EXPECT_TRUE(decodedPixels(elsewhere.file("decoded.png")) == snapshotPixels(expected))
                << "the picture differs from the snapshot's";
        }
        if (!row.file.empty()) {
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(images(), (std::set<std::string>{row.file})) << "no other file is left";
        }
    }
}

// The search is the engine's (its probe case); a named port is not searched.
TEST_F(GrabProgramTest, TakesTheNamedPortAtTheGivenRate)
{
    deadPortsOnly();
    auto& com9 = instrument(9);
    auto& com4 = instrument(4);
    const std::string shot = dir->file("shot.bmp");
    ASSERT_EQ(grab({"--port", "COM4", "-o", shot}).exitCode, 0);
    EXPECT_EQ(com4.requestCount(), 1u);
    EXPECT_EQ(com9.requestCount(), 0u);
    EXPECT_TRUE(fileContents(shot) == engineSnapshot(com4.lastFrame(), header(), 1));

    // --baud sets the line's rate before the request goes out; it stays so.
    ASSERT_EQ(grab({"--port", "COM4", "--baud", "57600", "-o", shot}).exitCode, 0);
    EXPECT_EQ(com4.requestCount(), 2u);
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
    deadPortsOnly();
    auto& com5 = instrument(5);
    const ProgramRun run = grab({"--count", "3", "--interval", "0.05", "-o", "shot.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(com5.requestCount(), 4u) << "the search's request and one a screen";

    const std::set<std::string> names = images();
    ASSERT_EQ(names.size(), 3u);
    const std::regex stamped(R"(shot-20\d{6}-\d{6}(-[23])?\.png)");
    std::set<std::vector<std::uint8_t>> pictures;
    for (const std::string& name : names) {
        EXPECT_TRUE(std::regex_match(name, stamped)) << name;
        const auto pixels = decodedPixels(dir->file(name));
        EXPECT_EQ(pixels.size(), 320u * 240u * 3u) << name;
        pictures.insert(pixels);
    }
    EXPECT_EQ(pictures.size(), 3u) << "the instrument's picture moves: every screen differs";
}

TEST_F(GrabProgramTest, NoInstrumentEndsWithCode1AndOneLine)
{
    zls740sim::SimulatorOptions silent;
    silent.silent = true;
    SerialPort otherProgram;
    const struct {
        const char* what;
        std::function<Arguments()> setUp;
        std::string message;
    } rows[] = {
        {"no port opens", [] { return Arguments{}; }, "no instrument answers on COM9 to COM2"},
        {"a board that talks unasked", [&] {
             zls740sim::SimulatorOptions talker = silent;
             talker.chatterPerSecond = 200;
             instrument(9, talker);
             return Arguments{};
         },
         "; passed over, sending without being asked: COM9 ("},
        {"a port another program holds", [&] {
             instrument(5);
             otherProgram.open(dir->file("COM5"));
             return Arguments{"--port", "COM5"};
         },
         "COM5): another program holds it"},
        {"not a serial port", [] { return Arguments{"--port", "/dev/null"}; },
         "cannot open the port /dev/null: not a serial port"},
        {"a name without a device", [] { return Arguments{"--port", "COM1"}; },
         "cannot open the port COM1: no device of that name"},
        {"no screen in time", [&] { instrument(5, silent); return Arguments{"--port", "COM5", "--timeout", "0.3"}; },
         "COM5) within 0.3 s"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        otherProgram.close();
        startOver();
        deadPortsOnly();
        Arguments arguments = row.setUp();
        arguments.insert(arguments.end(), {"-o", "shot.bmp"});
        const ProgramRun run = grab(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(isOneLineMessage(run.err)) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_TRUE(images().empty());
    }
}

TEST_F(GrabProgramTest, AnInstrumentThatVanishesEndsASeriesWithCode3)
{
    deadPortsOnly();
    zls740sim::SimulatorOptions vanishing;
    vanishing.closeAfterFrames = 2;  // the search's answer and one screen
    auto& com5 = instrument(5, vanishing);
    const ProgramRun run = grab({"--count", "3", "--interval", "0", "-o", "shot.bmp"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(isOneLineMessage(run.err)) << run.err;
    EXPECT_NE(run.err.find("the link to COM5 ("), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(") was lost"), std::string::npos) << run.err;
    const std::set<std::string> names = images();
    ASSERT_EQ(names.size(), 1u) << "the screen before the loss is kept";
    EXPECT_TRUE(fileContents(dir->file(*names.begin())) == engineSnapshot(com5.lastFrame(), header(), 1));
}

TEST_F(GrabProgramTest, AnImageThatCannotBeWrittenEndsWithCode4AndLeavesTheOldFile)
{
    const std::string good = "an older picture";
    const struct {
        const char* what;
        Arguments arguments;
        RunOptions options;
        std::string message;
    } rows[] = {
        {"a folder that is a file", {"-o", "plain/shot.bmp"}, {}, "cannot create a file beside plain/shot.bmp"},
        // A write that fails part-way, as on a full disk.
        {"a file-size limit", {"-o", "good.bmp"}, {"", 20}, "cannot write good.bmp: File too large"},
        {"a full standard output", {"-o", "-"}, {"/dev/full", 0}, "cannot write to standard output: No space left"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        startOver();
        deadPortsOnly();
        writeFile(dir->file("plain"), "a file, not a folder");
        writeFile(dir->file("good.bmp"), good);
        writeFile(dir->file("good.png"), good);
        instrument(5);
        const ProgramRun run = grab(row.arguments, row.options);
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_TRUE(isOneLineMessage(run.err)) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_EQ(fileContents(dir->file("good.bmp")), good);
        EXPECT_EQ(fileContents(dir->file("good.png")), good);
        EXPECT_EQ(images(), (std::set<std::string>{"plain", "good.bmp", "good.png"})) << "no half file is left";
    }
}

TEST_F(GrabProgramTest, CommandLineMistakesEndWithCode2BeforeAnyRequest)
{
    deadPortsOnly();
    auto& com5 = instrument(5);
    const Arguments mistakes[] = {
        {"--frobnicate", "-o", "a.bmp"}, {}, {"-o", "a.jpg"}, {"-o", "-", "--count", "2"}, {"--timeout", "-1", "-o", "a.bmp"},
    };
    for (const Arguments& arguments : mistakes) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ProgramRun run = grab(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(isOneLineMessage(run.err)) << run.err;
        EXPECT_NE(run.err.find("(see korvane-grab --help)"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(com5.requestCount(), 0u);
    EXPECT_TRUE(images().empty());

    const ProgramRun help = grab({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err, "");
    for (const char* code : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  4  "})
        EXPECT_NE(help.out.find(code), std::string::npos) << "exit code" << code << "is not explained";
    const ProgramRun version = grab({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("korvane-grab ") + KORVANE_VERSION + "\n");
    EXPECT_EQ(com5.requestCount(), 0u);
}
