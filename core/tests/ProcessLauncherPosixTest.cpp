// Korvane - screen acquisition engine tests.
// SPDX-License-Identifier: MIT
#include "CommonTestSupport.h"
#include "ProcessLauncher.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;

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
    EXPECT_TRUE(waitFor([&] { return fileContents(marker) == dir.string() + "\n0\n"; })) << fileContents(marker);
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
    EXPECT_TRUE(waitFor([&] { return fileContents(scratch.file("started.txt")) == "started\n"; }));
}
