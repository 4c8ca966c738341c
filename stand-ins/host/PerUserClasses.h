#pragma once
// PerUserClasses: creates a class registered for the current user only (HKCU\Software\Classes) where the COM
// runtime does not look there. Windows merges the user's class registrations into HKEY_CLASSES_ROOT, so its
// CoCreateInstance finds them; Wine 8 reads only the machine's branch (its HKCR is HKLM\Software\Classes), so
// after a per-user install the host would find no add-on. The host turns to this only after COM has said
// "not registered": it reads the class's InprocServer32 module from the user's branch, loads it and asks it
// for the class object, as COM does for an in-process server.
// Owned by HostApp; UI thread only. A loaded module stays loaded while its owner lives and is then freed only
// if it agrees (DllCanUnloadNow), as CoFreeUnusedLibraries would.

#include "win/Handle.h"

#include <objbase.h>

#include <string>
#include <vector>

namespace kelhost
{

class PerUserClasses
{
public:
    PerUserClasses() = default;
    PerUserClasses(const PerUserClasses&) = delete;
    PerUserClasses& operator=(const PerUserClasses&) = delete;
    ~PerUserClasses();

    // The class of a ProgID registered in the user's branch; REGDB_E_CLASSNOTREG when it is not there.
    [[nodiscard]] static HRESULT ClassOfProgId(const std::wstring& progId, CLSID& clsid) noexcept;

    // An instance of the class; `module` gets the path of its module. Failures: REGDB_E_CLASSNOTREG (no
    // InprocServer32 for the class in the user's branch), the loader's error for a module that cannot be
    // loaded (a missing file gives HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)), CO_E_ERRORINDLL for a module
    // without DllGetClassObject, else what the module's class object returns.
    [[nodiscard]] HRESULT Create(const CLSID& clsid, REFIID iid, void** object, std::wstring& module) noexcept;

private:
    std::vector<win::ModuleHandle> m_modules;
};

// The file of the module whose code implements a COM object (found from its interface table); "" when unknown.
[[nodiscard]] std::wstring ModuleOfObject(IUnknown* object);

}  // namespace kelhost
