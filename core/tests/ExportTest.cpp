// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "EngineFixture.h"
#include "LittleEndian.h"

#include <algorithm>
#include <fcntl.h>
#include <map>

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

class Export : public EngineFixture {
protected:
    void streamKnownFrame(std::uint8_t value)
    {
        instrument(5, {.replayFile = replayFile({uniformFrame(value)})});
        connect();
        ASSERT_TRUE(waitFor([&] { return screenDecoded(); }));
    }

    void writeTool(const std::filesystem::path& folder)
    {
        const auto tool = folder / "Pictorix";
        std::ofstream(tool) << "#!/bin/sh\necho started >> \"" << dir.file("tool-runs.txt") << "\"\n";
        std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    }

    int toolRuns() const { return int(std::ranges::count(readFile(dir.file("tool-runs.txt")), '\n')); }
};

}  // namespace

// The image tool gets standard input, output and error, and none of the
// viewer's own descriptors (port, wake-up, log.txt): all are close-on-exec.
TEST_F(Export, TheImageToolInheritsOnlyStandardInputOutputAndError)
{
    // The test's own descriptors, by what they lead to.
    auto openDescriptors = [] {
        std::map<int, std::string> open;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            open[std::stoi(entry.path().filename().string())] =
                std::filesystem::read_symlink(entry.path(), error).string();
        }
        return open;
    };
    const std::map<int, std::string> before = openDescriptors();
    engine.initEngine();  // log.txt opened anew
    std::filesystem::copy_file(KORVANE_FD_REPORT, dir.file("Pictorix"));
    streamKnownFrame(0x12);

    for (const auto& [fd, target] : openDescriptors()) {
        const int flags = ::fcntl(fd, F_GETFD);
        const auto old = before.find(fd);
        if ((old == before.end() || old->second != target || target.ends_with("log.txt")) && flags >= 0) {
            EXPECT_TRUE(flags & FD_CLOEXEC) << "descriptor " << fd << " -> " << target;
        }
    }
    ASSERT_EQ(engine.exportSnapshot(), ExportResult::Started);
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(dir.file("fds.txt")); }));
    EXPECT_EQ(fileContents(dir.file("fds.txt")), "0\n1\n2\n");
}

TEST_F(Export, WritesTheCurrentScreenAndStartsTheImageToolInTheWorkingFolder)
{
    // A usable template with its own reserved bytes: carried into the snapshot.
    HeaderBytes custom = HeaderTemplate::builtIn();
    custom[54 + 3] = 0x99;
    custom[6] = 0x42;
    std::ofstream(dir.file("header2.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(custom.data()), custom.size());
    writeTool(dir.path());
    streamKnownFrame(0x5A);
    EXPECT_EQ(engine.headerSource(), HeaderTemplate::Source::File);
    engine.setPaused(1);
    ASSERT_EQ(engine.exportSnapshot(), ExportResult::Started);
    ASSERT_TRUE(waitFor([&] { return toolRuns() == 1; }));

    const Bytes file = readFile(dir.file("Temp.bmp"));
    ASSERT_EQ(file.size(), 38518u);
    EXPECT_EQ(file[6], 0x42);
    EXPECT_EQ(file[54 + 3], 0x99);
    EXPECT_EQ(readLe32(file.data() + 18), 320u);
    EXPECT_EQ(readLe32(file.data() + 22), 240u);
    // Frame byte 5A: even rows index 5, odd rows index A; turned by 180
    // degrees the first file row is image row 239 (odd): all A.
    EXPECT_EQ(file[118], 0xAA);
    EXPECT_EQ(file[118 + 160], 0x55);
    EXPECT_EQ(file.back(), 0x55);

    ASSERT_EQ(engine.exportSnapshot(), ExportResult::Started);
    ASSERT_TRUE(waitFor([&] { return toolRuns() == 2; })) << "every export starts another image tool";
}

TEST_F(Export, TakesTheImageToolOfTheWorkingFolderElseTheOneBesideTheProgram)
{
    ScratchDir programDir;
    Engine installed(host, testConfig(dir.path(), programDir.path().string()));
    installed.initEngine();
    EXPECT_EQ(installed.imageToolPath(), "");
    writeTool(programDir.path());
    EXPECT_EQ(installed.imageToolPath(), programDir.file("Pictorix"));
    writeTool(dir.path());
    EXPECT_EQ(installed.imageToolPath(), dir.file("Pictorix"));
}

TEST_F(Export, BeforeTheFirstScreenWritesNothing)
{
    EXPECT_EQ(engine.exportSnapshot(), ExportResult::NoScreen);
    EXPECT_FALSE(std::filesystem::exists(dir.file("Temp.bmp")));
}

TEST_F(Export, WithoutTheImageToolWritesTheSnapshotAllTheSame)
{
    streamKnownFrame(0x11);
    EXPECT_EQ(engine.exportSnapshot(), ExportResult::ToolNotStarted);
    EXPECT_EQ(readFile(dir.file("Temp.bmp")).size(), 38518u);
}

// Temp.bmp is a folder: it cannot be replaced, and the tool must not be
// started on a stale picture.
TEST_F(Export, AnUnwritableSnapshotStartsNoTool)
{
    streamKnownFrame(0x11);
    writeTool(dir.path());
    std::filesystem::create_directory(dir.file("Temp.bmp"));
    std::ofstream(dir.file("Temp.bmp/keep")) << "x";
    EXPECT_EQ(engine.exportSnapshot(), ExportResult::WriteFailed);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(toolRuns(), 0);
}
