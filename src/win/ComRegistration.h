#pragma once
// Registration of the module's control classes and type library, in the machine's class branch
// (HKLM\Software\Classes) or the current user's (HKCU\Software\Classes), chosen once for the process by
// SetPerUserRegistration and used by every later call. Failures come back as HRESULTs built from the
// registry's error codes; the first failing step stops a call and is reported with its key (win::FailureReport).
//
// Layout written for a control:
//   CLSID\{clsid}                  (default) type name
//     InprocServer32               (default) module path, ThreadingModel "Apartment"
//     ProgID                       (default) ProgID
//     Control                      (empty)
//     MiscStatus                   (default) "0";  MiscStatus\1 (default) misc status in decimal
//     TypeLib                      (default) {type library id}
//     Version                      (default) "major.minor"
//     ToolboxBitmap32              (default) "module path, bitmap id"
//   <ProgID>                       (default) type name;  <ProgID>\CLSID (default) {clsid}

#include <windows.h>

#include <string>

namespace win
{

struct ControlRegistration
{
    CLSID classId;
    std::wstring progId;
    std::wstring typeName;
    std::wstring modulePath;
    UINT bitmapId;
    DWORD miscStatus;
    GUID typeLibId;
    WORD typeLibMajor;
    WORD typeLibMinor;
};

void SetPerUserRegistration(bool perUser) noexcept;
[[nodiscard]] bool IsPerUserRegistration() noexcept;

// HKLM\Software\Classes or HKCU\Software\Classes, following SetPerUserRegistration.
[[nodiscard]] HKEY ClassesRoot() noexcept;
[[nodiscard]] const wchar_t* ClassesPath() noexcept;  // "Software\Classes"

// "{xxxxxxxx-xxxx-...}" in upper case.
[[nodiscard]] std::wstring GuidToString(const GUID& guid);

[[nodiscard]] HRESULT RegisterControl(const ControlRegistration& control) noexcept;
// Removes the class key and the ProgID key; S_OK also when they were not there.
[[nodiscard]] HRESULT UnregisterControl(const CLSID& classId, const std::wstring& progId) noexcept;

// Registers the type library in the resources of the module at `modulePath`: in the machine branch through
// the system, in the current user's branch by writing the same keys (TypeLib\{id}\major.minor with the
// module path, FLAGS and HELPDIR; Interface\{iid} for each automation interface), which needs no
// administrator rights.
[[nodiscard]] HRESULT RegisterTypeLibraryOf(const std::wstring& modulePath) noexcept;
// Removes that registration from the chosen branch. A library that is not registered there counts as removed.
[[nodiscard]] HRESULT UnregisterTypeLibrary(
    const std::wstring& modulePath, const GUID& typeLibId, WORD major, WORD minor) noexcept;

}  // namespace win
