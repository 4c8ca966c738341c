#pragma once
// The operating system's version and name. Each function reads the version record from the system
// (GetVersionExW with the extended record, the basic one when that is refused) and hands it to a pure
// overload that decides from a record alone, so the decisions can be checked for any system. A record that
// cannot be read counts as version 0.0 on no known platform: every test is false and the name is "".

#include <windows.h>

#include <string>

namespace platform
{

// Reads the system's version record; false (and a zeroed record) when the system gives none.
[[nodiscard]] bool ReadOSVersion(OSVERSIONINFOEXW& version) noexcept;

// Major, minor and build number; false (all three 0) when the version cannot be read.
BOOL GetOSVersion(DWORD& major, DWORD& minor, DWORD& build) noexcept;

// Windows 2000 or XP: major version 5, minor below 2.
[[nodiscard]] BOOL IsWindows2000OrXP() noexcept;
[[nodiscard]] BOOL IsWindows2000OrXP(const OSVERSIONINFOEXW& version) noexcept;

// Windows Vista: major version exactly 6 (Windows 7, 8 and 8.1 report 6 as well).
[[nodiscard]] BOOL IsWindowsVista() noexcept;
[[nodiscard]] BOOL IsWindowsVista(const OSVERSIONINFOEXW& version) noexcept;

// Major version 6 or more.
[[nodiscard]] BOOL IsVistaOrLater() noexcept;
[[nodiscard]] BOOL IsVistaOrLater(const OSVERSIONINFOEXW& version) noexcept;

// The system's name such as "Microsoft Windows XP Professional Service Pack 3". Versions the table does not
// know give only the edition and service-pack parts; withDetails adds the edition.
[[nodiscard]] std::wstring GetWindowsName(BOOL withDetails);
[[nodiscard]] std::wstring GetWindowsNameFrom(const OSVERSIONINFOEXW& version, BOOL withDetails);

}  // namespace platform
