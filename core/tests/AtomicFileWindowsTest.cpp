// Korvane - shared code tests on Windows.
// SPDX-License-Identifier: MIT
#include "AtomicFile.h"
#include "CommonTestSupport.h"
#include "Utf8Path.h"
#include "WindowsText.h"
#include "WineInstruments.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace korvane;
using namespace korvane::test;

TEST(WindowsAtomicFile, ReplacesInAFolderOfAnyLanguageAndKeepsATargetItCannotReplace)
{
    ScratchDir scratch;
    const std::string folder = scratch.folder("Снимки 画像");
    const std::string target = folder + "\\Temp.bmp";
    ASSERT_TRUE(replaceFile(target, "old", 3));
    ASSERT_TRUE(replaceFile(target, "new picture", 11));
    EXPECT_EQ(fileContents(target), "new picture");

    // A reader that holds the target without letting it be deleted: Windows
    // refuses the replacement; the old file stays whole, nothing is left
    // beside it, and the error has the system's words.
    const HANDLE reader = ::CreateFileW(wideFromUtf8(target).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::string error;
    const bool replaced = replaceFile(target, "newer", 5, &error);
    ::CloseHandle(reader);
    if (underWine() && replaced) {
        // Wine renames over a file that is open, as POSIX systems do.
        EXPECT_EQ(fileContents(target), "newer");
    } else {
        EXPECT_FALSE(replaced);
        EXPECT_EQ(error, "cannot write " + target + ": " + systemErrorText(ERROR_ACCESS_DENIED));
        EXPECT_EQ(fileContents(target), "new picture");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pathFromUtf8(folder)), {}), 1);

    EXPECT_FALSE(replaceFile(folder + "\\missing\\Temp.bmp", "x", 1, &error));
    EXPECT_EQ(error,
              "cannot create a file beside " + folder
                  + "\\missing\\Temp.bmp: " + systemErrorText(ERROR_PATH_NOT_FOUND));
}
