// Korvane - screen acquisition engine tests on Windows.
// SPDX-License-Identifier: MIT
#include "PortNames.h"
#include "PortableTestSupport.h"
#include "Utf8Path.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace korvane;
using namespace korvane::test;

TEST(WindowsPortNames, ComNamesAreTheSystemsPortsAndListedOnesCountToo)
{
    ScratchDir dir;
    const std::string folder = utf8FromPath(dir.path());
    EXPECT_EQ(PortNames::resolve(folder, "COM5"), "\\\\.\\COM5");
    EXPECT_EQ(PortNames::resolve(folder, "com9"), "\\\\.\\COM9") << "Windows takes any case";
    for (const char* name : {"COM0", "COM", "COM5x", "COM-3", "LPT2", "COM23"})
        EXPECT_EQ(PortNames::device(name), "") << name;
    EXPECT_EQ(PortNames::resolve(folder, "\\\\.\\COM23"), "\\\\.\\COM23") << "a device path is itself";
    EXPECT_EQ(PortNames::resolve(folder, "C:/ports/scope"), "C:/ports/scope");

    // Above COM9, a port counts once the system lists it (as Device Manager
    // does, under HARDWARE\DEVICEMAP\SERIALCOMM).
    HKEY list = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &list, nullptr)
        != ERROR_SUCCESS)
        GTEST_SKIP() << "the system's list of ports can be written only by an administrator";
    const wchar_t port[] = L"COM23";
    ::RegSetValueExW(list, L"\\Device\\KorvaneTest", 0, REG_SZ, reinterpret_cast<const BYTE*>(port), sizeof port);
    const std::string listed = PortNames::device("COM23");
    ::RegDeleteValueW(list, L"\\Device\\KorvaneTest");
    ::RegCloseKey(list);
    EXPECT_EQ(listed, "\\\\.\\COM23");

    EXPECT_TRUE(PortNames::exists(folder));
    EXPECT_FALSE(PortNames::exists(dir.file("missing")));
    EXPECT_FALSE(PortNames::exists("\\\\.\\COM23"));
}
