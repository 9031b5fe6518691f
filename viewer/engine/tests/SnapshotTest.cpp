// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "ProcessLauncher.h"
#include "ScreenImage.h"
#include "SnapshotWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes snapshotOf(ScreenImage& image)
{
    std::ostringstream out;
    EXPECT_TRUE(image.read([&](const ScreenView& view) { SnapshotWriter::write(out, view); }));
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

std::uint8_t pixel(const std::uint8_t* rows, int x, int y)
{
    const std::uint8_t byte = rows[160 * y + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(Snapshot, IsTheHeaderAndThePictureTurnedBy180Degrees)
{
    ScreenImage image;
    std::mt19937 random(11);
    for (auto& byte : image.frameBuffer())
        byte = std::uint8_t(random());
    image.publishFrame(0);

    const Bytes file = snapshotOf(image);
    ASSERT_EQ(file.size(), 38518u);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 118, image.rawBuffer())) << "header as it stands";
    const std::uint8_t* stored = image.rawBuffer() + 118;
    const std::uint8_t* rows = file.data() + 118;
    for (int r = 0; r < 240; ++r) {
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(pixel(rows, x, r), pixel(stored, 319 - x, 239 - r)) << "x " << x << " r " << r;
    }
}

TEST(Snapshot, ReplacingAFileIsAllOrNothing)
{
    ScratchDir dir;
    const std::string target = dir.file("Temp.bmp");
    std::ofstream(target) << "old picture";

    ASSERT_TRUE(SnapshotWriter::replaceFile(target, std::string(38518, 'n'), nullptr));
    EXPECT_EQ(readFile(target).size(), 38518u);

    // The target is a folder: the rename fails, and nothing is left behind.
    const std::string folder = dir.file("sub");
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/keep") << "x";
    std::string error;
    EXPECT_FALSE(SnapshotWriter::replaceFile(folder, "new", &error));
    EXPECT_NE(error.find(folder), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    EXPECT_FALSE(SnapshotWriter::replaceFile(dir.file("missing/Temp.bmp"), "new", &error));
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2u) << "no temporary file may be left beside the target";

    struct stat info{};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IRGRP, 0u) << "a snapshot is readable like any file the user makes";
}

TEST(ProcessLauncher, StartsTheProgramInItsFolderWithoutAShell)
{
    ScratchDir scratch;
    // Spaces, quotes and a command substitution must reach the file system as they are.
    const std::filesystem::path dir = scratch.path() / "my 'scope' $(touch pwned) \"x\"";
    std::filesystem::create_directory(dir);
    const std::string tool = (dir / "Pictorix").string();
    {
        std::ofstream script(tool);
        script << "#!/bin/sh\npwd > started.txt\necho $# >> started.txt\n";
    }
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);

    ASSERT_TRUE(ProcessLauncher::startDetached(tool, dir.string()));
    const std::string marker = (dir / "started.txt").string();
    ASSERT_TRUE(waitFor([&] { return slurp(marker).find('\n', slurp(marker).find('\n') + 1) != std::string::npos; }));
    EXPECT_EQ(slurp(marker), dir.string() + "\n0\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "pwned"));
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));

    EXPECT_FALSE(ProcessLauncher::startDetached((dir / "absent").string(), dir.string()));
    EXPECT_FALSE(ProcessLauncher::startDetached(tool, (dir / "no such folder").string()));
    std::ofstream(dir / "data.txt") << "not a program";
    EXPECT_FALSE(ProcessLauncher::startDetached((dir / "data.txt").string(), dir.string()));
}

// With SIGCHLD ignored the children are reaped unseen and waitpid() tells
// nothing: a start is still reported as it went. The program's own process
// is kept from being made by a user of its own with room for two processes
// (the caller and the intermediate child).
TEST(ProcessLauncher, ReportsTheStartAlsoWhenChildrenAreReapedUnseen)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "limiting another user's processes needs root";
    ScratchDir scratch;
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    const std::string tool = scratch.file("Pictorix");
    std::ofstream(tool) << "#!/bin/sh\necho started >> started.txt\n";
    std::filesystem::permissions(tool, std::filesystem::perms::all);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGCHLD, SIG_IGN);
        const bool started = ProcessLauncher::startDetached(tool, scratch.path().string());
        const uid_t user = 40000 + static_cast<uid_t>(::getpid() % 20000);
        const rlimit two{2, 2};
        if (::setgid(user) != 0 || ::setuid(user) != 0 || ::setrlimit(RLIMIT_NPROC, &two) != 0)
            ::_exit(3);
        const bool startedWithoutRoom = ProcessLauncher::startDetached(tool, scratch.path().string());
        ::_exit((started ? 0 : 1) | (startedWithoutRoom ? 2 : 0));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 3) << "could not become another user";
    EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "a start reported as failed";
    EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "a program that could not be started reported as started";
    EXPECT_TRUE(waitFor([&] { return slurp(scratch.file("started.txt")) == "started\n"; }));
}
