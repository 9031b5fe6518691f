// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <csignal>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace korvane;

namespace {

struct Scratch {
    Scratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-common-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~Scratch() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::size_t entries() const
    {
        return std::size_t(std::distance(std::filesystem::directory_iterator(path), std::filesystem::directory_iterator()));
    }
    std::filesystem::path path;
};

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(AtomicFile, ReplacesAllOrNothingAndLeavesNothingBeside)
{
    Scratch dir;
    const std::string target = dir.file("Temp.bmp");
    std::ofstream(target) << "old picture";
    const std::string picture(38518, 'n');
    ASSERT_TRUE(replaceFile(target, picture.data(), picture.size()));
    EXPECT_TRUE(contents(target) == picture);

    // The target is a folder: the rename fails, and nothing is left behind.
    const std::string folder = dir.file("sub");
    std::filesystem::create_directory(folder);
    std::string error;
    EXPECT_FALSE(replaceFile(folder, "new", 3, &error));
    EXPECT_EQ(error.rfind("cannot write " + folder + ": ", 0), 0u) << error;
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    EXPECT_FALSE(replaceFile(dir.file("missing/Temp.bmp"), "new", 3, &error));
    EXPECT_EQ(error.rfind("cannot create a file beside " + dir.file("missing/Temp.bmp"), 0), 0u) << error;

    // A write that stops part-way, as on a full disk: the old file stays.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{1000, old.rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = replaceFile(target, std::string(5000, 'x').data(), 5000, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_TRUE(contents(target) == picture) << "the old file is kept whole";
    EXPECT_EQ(dir.entries(), 2u) << "no temporary file may be left beside the target";
}

// The new file is as readable as any file the user makes (0666 less the
// umask), whatever other threads do with the umask's value meanwhile.
TEST(AtomicFile, MakesFilesAsTheUmaskSays)
{
    Scratch dir;
    const mode_t previous = ::umask(027);
    ASSERT_TRUE(replaceFile(dir.file("a"), "x", 1));
    ::umask(previous);
    struct stat info{};
    ASSERT_EQ(::stat(dir.file("a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// Writers beside the same target, at once: every result is one writer's
// whole file, and no temporary file is left.
TEST(AtomicFile, WritersAtOnceNeverMixTheirBytes)
{
    Scratch dir;
    const std::string target = dir.file("report.txt");
    std::vector<std::thread> writers;
    for (char c : {'a', 'b', 'c', 'd'}) {
        writers.emplace_back([&target, c] {
            const std::string bytes(20000, c);
            for (int i = 0; i < 50; ++i)
                EXPECT_TRUE(replaceFile(target, bytes.data(), bytes.size()));
        });
    }
    for (auto& writer : writers)
        writer.join();
    const std::string last = contents(target);
    ASSERT_EQ(last.size(), 20000u);
    EXPECT_EQ(last.find_first_not_of(last[0]), std::string::npos);
    EXPECT_EQ(dir.entries(), 1u);
}
