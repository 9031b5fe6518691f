// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"
#include "CommonTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace korvane;

namespace {

// The temporary file's descriptor flags (-1: none open), taken by the SIGXFSZ handler mid-write.
volatile std::sig_atomic_t temporaryFlags = -1;

void noteTemporaryFlags(int)
{
    const int writeErrno = errno;  // the write's reason, read after this returns
    for (int fd = 3; fd < 1024; ++fd) {
        char link[40], target[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t n = ::readlink(link, target, sizeof target);
        if (n > 0 && std::string_view(target, std::size_t(n)).find(".tmp-") != std::string_view::npos)
            temporaryFlags = ::fcntl(fd, F_GETFD);
    }
    errno = writeErrno;
}

// Every umask() call counted: the umask changed even for a moment races other threads' files.
int umaskCalls = 0;

}  // namespace

extern "C" mode_t umask(mode_t mask) noexcept
{
    ++umaskCalls;
    return mode_t(::syscall(SYS_umask, mask));
}

// 0666 less the umask, as any file the user makes, and the umask left alone.
TEST(AtomicFile, ReplacesTheFileWithTheUsersPermissions)
{
    test::ScratchDir dir;
    const std::string target = dir.file("Temp.bmp");
    std::ofstream(target) << "old picture";
    const std::string picture(38518, 'n');
    const mode_t previous = ::umask(027);
    umaskCalls = 0;
    ASSERT_TRUE(replaceFile(target, picture.data(), picture.size()));
    EXPECT_EQ(umaskCalls, 0);
    ::umask(previous);
    EXPECT_TRUE(test::fileContents(target) == picture);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(AtomicFile, SaysWhyATargetCannotBeReplaced)
{
    test::ScratchDir dir;
    // The target is a folder: the rename fails, and nothing is left behind.
    const std::string folder = dir.file("sub");
    std::filesystem::create_directory(folder);
    std::string error;
    EXPECT_FALSE(replaceFile(folder, "new", 3, &error));
    EXPECT_EQ(error.rfind("cannot write " + folder + ": ", 0), 0u) << error;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(dir.entries(), 1u);

    EXPECT_FALSE(replaceFile(dir.file("missing/Temp.bmp"), "new", 3, &error));
    EXPECT_EQ(error.rfind("cannot create a file beside " + dir.file("missing/Temp.bmp"), 0), 0u) << error;
}

// A write that stops part-way, as on a full disk: the old file stays. The temporary file is
// close-on-exec, so a program another thread starts meanwhile cannot hold it.
TEST(AtomicFile, AWriteCutShortKeepsTheOldFileWhole)
{
    test::ScratchDir dir;
    const std::string target = dir.file("Temp.bmp");
    const std::string picture(38518, 'n');
    std::ofstream(target) << picture;
    std::string error;
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{1000, old.rlim_max};
    const auto previousHandler = ::signal(SIGXFSZ, noteTemporaryFlags);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = replaceFile(target, std::string(5000, 'x').data(), 5000, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    ASSERT_NE(temporaryFlags, -1);
    EXPECT_TRUE(temporaryFlags & FD_CLOEXEC);
    EXPECT_TRUE(test::fileContents(target) == picture) << "the old file is kept whole";
    EXPECT_EQ(dir.entries(), 1u) << "no temporary file may be left beside the target";
}
