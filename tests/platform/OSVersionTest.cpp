#include "platform/OSVersion.h"

#include "win/Strings.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace
{

OSVERSIONINFOEXW Record(
    DWORD platform, DWORD major, DWORD minor, BYTE type = 1, WORD suite = 0, const wchar_t *sp = L"")
{
    OSVERSIONINFOEXW v{};
    v.dwPlatformId = platform;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.wProductType = type;
    v.wSuiteMask = suite;
    ::wcsncpy(v.szCSDVersion, sp, 127);
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
        {Record(kNT, 5, 1, 1, 0x200, L"Service Pack 2"), TRUE, L"Microsoft Windows XP Home Edition Service Pack 2"},
        {Record(kNT, 5, 1, 1, 0x200, L"Service Pack 2"), FALSE, L"Microsoft Windows XP Service Pack 2"},
        {Record(kNT, 5, 0, 1, 0, L""), TRUE, L"Microsoft Windows 2000 Professional "},
        {Record(kNT, 5, 0, 3, 0x82, L"SP4"), TRUE, L"Microsoft Windows 2000 Datacenter Server SP4"},
        {Record(kNT, 5, 2, 3, 0x2, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Enterprise Edition SP1"},
        {Record(kNT, 5, 2, 3, 0x400, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Web Edition SP1"},
        // The web edition is known by its flag alone.
        {Record(kNT, 5, 2, 3, 0x410, L"SP1"), TRUE, L"Microsoft Windows Server 2003 family Standard Edition SP1"},
        {Record(kNT, 5, 2, 2, 0x2, L"SP2"), TRUE, L"Microsoft Windows Server 2003 family SP2"},
        {Record(kNT, 4, 0, 1, 0x200, L"SP6"), TRUE, L"Microsoft Windows NT Workstation 4.0 SP6"},
        {Record(kNT, 4, 0, 3, 0x2, L"SP6"), TRUE, L"Microsoft Windows NT Server 4.0, Enterprise Edition SP6"},
        // Versions beyond the table keep only the edition and the service pack; a new server is no NT 4.
        {Record(kNT, 6, 1, 1, 0, L"Service Pack 1"), TRUE, L" Professional Service Pack 1"},
        {Record(kNT, 6, 0, 3, 0x2, L"SP2"), TRUE, L" Server SP2"},
        {Record(k9x, 4, 0, 0, 0, L" C"), TRUE, L"Microsoft Windows 95 OSR2"},
        {Record(k9x, 4, 0, 0, 0, L" B"), FALSE, L"Microsoft Windows 95 OSR2"},
        {Record(k9x, 4, 10, 0, 0, L" A"), TRUE, L"Microsoft Windows 98 SE"},
        {Record(k9x, 4, 90, 0, 0, L""), TRUE, L"Microsoft Windows Millennium Edition"},
        {Record(VER_PLATFORM_WIN32s, 3, 11), TRUE, L"Microsoft Win32s"},
        {Record(7, 10, 0, 1, 0, L"x"), TRUE, L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(win::WideToAnsi(c.expected, CP_UTF8));
        EXPECT_EQ(c.expected, GetWindowsNameFrom(c.version, c.withDetails));
    }
}

TEST(OSVersionTest, DecidesFamiliesByMajorAndMinorVersion)
{
    struct Case
    {
        DWORD major, minor;
        BOOL win2000OrXP, vista, vistaOrLater;
    };
    const Case cases[] = {
        {4, 0, FALSE, FALSE, FALSE}, {5, 0, TRUE, FALSE, FALSE}, {5, 1, TRUE, FALSE, FALSE},
        {5, 2, FALSE, FALSE, FALSE}, {6, 0, FALSE, TRUE, TRUE}, {6, 3, FALSE, TRUE, TRUE}, {10, 0, FALSE, FALSE, TRUE},
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

} // namespace
