// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
#include "CommonTestSupport.h"
#include "ProcessLauncher.h"
#include "Utf8Path.h"
#include "WindowsText.h"
#include "WineInstruments.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

using namespace korvane;
using namespace korvane::test;

TEST(WindowsProcessLauncher, StartsTheToolInItsFolderWithNothingOfOurs)
{
    ScratchDir scratch;
    const std::string folder = scratch.folder("Werkzeug ツール");
    const std::string tool = folder + "\\" + ProcessLauncher::programFileName("Pictorix");
    std::filesystem::copy_file(KORVANE_TOOL_REPORT, pathFromUtf8(tool));
    std::ofstream(pathFromUtf8(folder + "\\data.exe")) << "not a program";
    EXPECT_TRUE(ProcessLauncher::isExecutable(tool));
    EXPECT_FALSE(ProcessLauncher::isExecutable(folder + "\\data.exe"));
    EXPECT_FALSE(ProcessLauncher::isExecutable(folder));
    EXPECT_FALSE(ProcessLauncher::startDetached(folder + "\\absent.exe", folder));
    EXPECT_FALSE(ProcessLauncher::startDetached(tool, folder + "\\no such folder"));

    // A file held through an inheritable handle and shared with nobody:
    // were the handle handed on, the tool would keep the file open after
    // this program closed it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const std::wstring held = wideFromUtf8(scratch.file("held.bin"));
    const HANDLE file =
        ::CreateFileW(held.c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(ProcessLauncher::startDetached(tool, folder));
    EXPECT_EQ(awaitToolReport(folder), folder + "\n0\n10\n") << "in its folder, no arguments, SW_SHOWDEFAULT";
    ::CloseHandle(file);
    const HANDLE again = ::CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the tool holds a handle of this program's";
    ::CloseHandle(again);
    EXPECT_TRUE(endTool(folder));
}
