#include "platform/OSVersion.h"

#include <cwchar>

namespace platform
{

namespace
{

constexpr WORD kSuiteEnterprise = 0x0002;
constexpr WORD kSuiteDatacenter = 0x0080;
constexpr WORD kSuitePersonal = 0x0200;
constexpr WORD kSuiteBlade = 0x0400;

constexpr BYTE kWorkstation = 1;
constexpr BYTE kServer = 3;

// The edition an NT system adds to its name, from its product type and suite flags.
std::wstring NtEdition(const OSVERSIONINFOEXW& v)
{
    const DWORD major = v.dwMajorVersion;
    const DWORD minor = v.dwMinorVersion;
    const WORD suite = v.wSuiteMask;
    if (v.wProductType == kWorkstation)
    {
        if (major == 4)
        {
            return L" Workstation 4.0";
        }
        return (suite & kSuitePersonal) ? L" Home Edition" : L" Professional";
    }
    if (v.wProductType != kServer)
    {
        return {};
    }
    if (major == 5 && minor == 2)
    {
        if (suite & kSuiteDatacenter)
        {
            return L" Datacenter Edition";
        }
        if (suite & kSuiteEnterprise)
        {
            return L" Enterprise Edition";
        }
        return suite == kSuiteBlade ? L" Web Edition" : L" Standard Edition";
    }
    if (major == 5 && minor == 0)
    {
        if (suite & kSuiteDatacenter)
        {
            return L" Datacenter Server";
        }
        return (suite & kSuiteEnterprise) ? L" Advanced Server" : L" Server";
    }
    if (major <= 4)
    {
        return (suite & kSuiteEnterprise) ? L" Server 4.0, Enterprise Edition" : L" Server 4.0";
    }
    // Servers newer than the table are named by their kind only: calling them "Server 4.0" would be wrong.
    return L" Server";
}

std::wstring ServicePack(const OSVERSIONINFOEXW& v)
{
    return std::wstring(v.szCSDVersion, ::wcsnlen(v.szCSDVersion, std::size(v.szCSDVersion)));
}

}  // namespace

bool ReadOSVersion(OSVERSIONINFOEXW& version) noexcept
{
    version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
    {
        return true;
    }
    // Systems before NT 4 SP6 know only the basic record; its fields are the start of the extended one.
    version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
    {
        return true;
    }
    version = {};
    return false;
}

BOOL GetOSVersion(DWORD& major, DWORD& minor, DWORD& build) noexcept
{
    OSVERSIONINFOEXW version;
    const bool read = ReadOSVersion(version);
    major = version.dwMajorVersion;
    minor = version.dwMinorVersion;
    build = version.dwBuildNumber;
    return read ? TRUE : FALSE;
}

BOOL IsWindows2000OrXP(const OSVERSIONINFOEXW& version) noexcept
{
    return version.dwMajorVersion == 5 && version.dwMinorVersion < 2;
}

BOOL IsWindowsVista(const OSVERSIONINFOEXW& version) noexcept
{
    return version.dwMajorVersion == 6;
}

BOOL IsVistaOrLater(const OSVERSIONINFOEXW& version) noexcept
{
    return version.dwMajorVersion >= 6;
}

BOOL IsWindows2000OrXP() noexcept
{
    OSVERSIONINFOEXW version;
    return ReadOSVersion(version) && IsWindows2000OrXP(version);
}

BOOL IsWindowsVista() noexcept
{
    OSVERSIONINFOEXW version;
    return ReadOSVersion(version) && IsWindowsVista(version);
}

BOOL IsVistaOrLater() noexcept
{
    OSVERSIONINFOEXW version;
    return ReadOSVersion(version) && IsVistaOrLater(version);
}

std::wstring GetWindowsNameFrom(const OSVERSIONINFOEXW& v, BOOL withDetails)
{
    std::wstring name;
    switch (v.dwPlatformId)
    {
    case VER_PLATFORM_WIN32_NT:
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2)
        {
            name = L"Microsoft Windows Server 2003 family";
        }
        else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1)
        {
            name = L"Microsoft Windows XP";
        }
        else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0)
        {
            name = L"Microsoft Windows 2000";
        }
        else if (v.dwMajorVersion < 5)
        {
            name = L"Microsoft Windows NT";
        }
        if (withDetails)
        {
            name += NtEdition(v);
        }
        name += L' ';
        name += ServicePack(v);
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        // Releases of the same version differ only in a letter of the service-pack text.
        if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0)
        {
            name = L"Microsoft Windows 95";
            if (v.szCSDVersion[1] == L'C' || v.szCSDVersion[1] == L'B')
            {
                name += L" OSR2";
            }
        }
        else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10)
        {
            name = L"Microsoft Windows 98";
            if (v.szCSDVersion[1] == L'A')
            {
                name += L" SE";
            }
        }
        else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90)
        {
            name = L"Microsoft Windows Millennium Edition";
        }
        break;
    case VER_PLATFORM_WIN32s: name = L"Microsoft Win32s"; break;
    default: break;
    }
    return name;
}

std::wstring GetWindowsName(BOOL withDetails)
{
    OSVERSIONINFOEXW version;
    if (!ReadOSVersion(version))
    {
        return {};
    }
    return GetWindowsNameFrom(version, withDetails);
}

}  // namespace platform
