#include "platform/OSVersion.h"

#include "win/Strings.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace
{

OSVERSIONINFOEXW Record(DWORD platform, DWORD major, DWORD minor, BYTE productType = 1, WORD suite = 0,
    const wchar_t* servicePack = L"")
{
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    v.dwPlatformId = platform;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.wProductType = productType;
    v.wSuiteMask = suite;
    ::wcsncpy(v.szCSDVersion, servicePack, std::size(v.szCSDVersion) - 1);
    return v;
}

constexpr DWORD kNT = VER_PLATFORM_WIN32_NT;
constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;

TEST(WindowsNameTest, NamesEachKnownSystemAndEdition)
{
    struct Case
    {
        OSVERSIONINFOEXW version;
        BOOL withDetails;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {Record(kNT, 5, 1, 1, 0, L"Service Pack 3"), TRUE, L"Microsoft Windows XP Professional Service Pack 3"},
        {Record(kNT, 5, 1, 1, 0x200, L"Service Pack 2"), TRUE, L"Microsoft Windows XP Home Edition Service Pack 2"},
        {Record(kNT, 5, 1, 1, 0x200, L"Service Pack 2"), FALSE, L"Microsoft Windows XP Service Pack 2"},
        {Record(kNT, 5, 0, 1, 0, L""), TRUE, L"Microsoft Windows 2000 Professional "},
        {Record(kNT, 5, 0, 3, 0x82, L"Service Pack 4"), TRUE, L"Microsoft Windows 2000 Datacenter Server Service Pack 4"},
        {Record(kNT, 5, 0, 3, 0x2, L""), TRUE, L"Microsoft Windows 2000 Advanced Server "},
        {Record(kNT, 5, 0, 3, 0, L""), TRUE, L"Microsoft Windows 2000 Server "},
        {Record(kNT, 5, 2, 3, 0x80, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Datacenter Edition SP1"},
        {Record(kNT, 5, 2, 3, 0x2, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Enterprise Edition SP1"},
        {Record(kNT, 5, 2, 3, 0x400, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Web Edition SP1"},
        // The web edition is recognised only by its flag alone.
        {Record(kNT, 5, 2, 3, 0x410, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Standard Edition SP1"},
        {Record(kNT, 5, 2, 2, 0x2, L"SP2"), TRUE, L"Microsoft Windows Server 2003 family SP2"},
        {Record(kNT, 4, 0, 1, 0x200, L"Service Pack 6"), TRUE, L"Microsoft Windows NT Workstation 4.0 Service Pack 6"},
        {Record(kNT, 4, 0, 3, 0x2, L"Service Pack 6"), TRUE,
            L"Microsoft Windows NT Server 4.0, Enterprise Edition Service Pack 6"},
        {Record(kNT, 4, 0, 3, 0, L""), TRUE, L"Microsoft Windows NT Server 4.0 "},
        // Versions beyond the table keep only the edition and the service pack.
        {Record(kNT, 6, 1, 1, 0, L"Service Pack 1"), TRUE, L" Professional Service Pack 1"},
        {Record(kNT, 6, 1, 1, 0, L"Service Pack 1"), FALSE, L" Service Pack 1"},
        {Record(kNT, 6, 0, 3, 0x2, L"Service Pack 2"), TRUE, L" Server Service Pack 2"},
        {Record(k9x, 4, 0, 0, 0, L" C"), TRUE, L"Microsoft Windows 95 OSR2"},
        {Record(k9x, 4, 0, 0, 0, L" B"), FALSE, L"Microsoft Windows 95 OSR2"},
        {Record(k9x, 4, 0, 0, 0, L" A"), TRUE, L"Microsoft Windows 95"},
        {Record(k9x, 4, 10, 0, 0, L" A"), TRUE, L"Microsoft Windows 98 SE"},
        {Record(k9x, 4, 10, 0, 0, L" C"), TRUE, L"Microsoft Windows 98"},
        {Record(k9x, 4, 90, 0, 0, L" "), TRUE, L"Microsoft Windows Millennium Edition"},
        {Record(k9x, 4, 20, 0, 0, L""), TRUE, L""},
        {Record(VER_PLATFORM_WIN32s, 3, 11), TRUE, L"Microsoft Win32s"},
        {Record(7, 10, 0, 1, 0, L"x"), TRUE, L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "platform " << c.version.dwPlatformId << " version "
                                          << c.version.dwMajorVersion << "." << c.version.dwMinorVersion << " type "
                                          << int(c.version.wProductType) << " suite " << c.version.wSuiteMask
                                          << " details " << c.withDetails);
        EXPECT_EQ(win::WideToAnsi(c.expected, CP_UTF8),
            win::WideToAnsi(GetWindowsNameFrom(c.version, c.withDetails), CP_UTF8));
    }
}

TEST(OSVersionTest, DecidesFamiliesByMajorAndMinorVersion)
{
    struct Case
    {
        DWORD major;
        DWORD minor;
        BOOL win2000OrXP;
        BOOL vista;
        BOOL vistaOrLater;
    };
    const Case cases[] = {
        {4, 0, FALSE, FALSE, FALSE},
        {5, 0, TRUE, FALSE, FALSE},
        {5, 1, TRUE, FALSE, FALSE},
        {5, 2, FALSE, FALSE, FALSE},
        {6, 0, FALSE, TRUE, TRUE},
        {6, 3, FALSE, TRUE, TRUE},
        {10, 0, FALSE, FALSE, TRUE},
        {0, 0, FALSE, FALSE, FALSE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "version " << c.major << "." << c.minor);
        const OSVERSIONINFOEXW v = Record(kNT, c.major, c.minor);
        EXPECT_EQ(c.win2000OrXP, IsWindows2000OrXP(v));
        EXPECT_EQ(c.vista, IsWindowsVista(v));
        EXPECT_EQ(c.vistaOrLater, IsVistaOrLater(v));
    }
}

TEST(OSVersionTest, SystemReaderFeedsTheSameDecisions)
{
    OSVERSIONINFOEXW v;
    ASSERT_TRUE(ReadOSVersion(v));
    DWORD major = 99, minor = 99, build = 0;
    ASSERT_TRUE(GetOSVersion(major, minor, build));
    EXPECT_EQ(v.dwMajorVersion, major);
    EXPECT_EQ(v.dwMinorVersion, minor);
    EXPECT_EQ(v.dwBuildNumber, build);
    EXPECT_EQ(IsVistaOrLater(v), IsVistaOrLater());
    EXPECT_EQ(GetWindowsNameFrom(v, TRUE), GetWindowsName(TRUE));
}

} // namespace
