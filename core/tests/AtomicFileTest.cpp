// Korvane - shared code tests.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"
#include "CommonTestSupport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace korvane;

// Threads writing the same target at once never share a temporary file.
TEST(AtomicFile, WritersAtOnceNeverMixTheirBytes)
{
    test::ScratchDir dir;
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
    const std::string last = test::fileContents(target);
    ASSERT_EQ(last.size(), 20000u);
    EXPECT_EQ(last.find_first_not_of(last[0]), std::string::npos);
    EXPECT_EQ(dir.entries(), 1u);
}
