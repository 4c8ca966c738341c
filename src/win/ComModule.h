#pragma once
// The module's lock count: every live COM object of the module and every IClassFactory::LockServer(TRUE)
// holds one. DllCanUnloadNow answers S_OK only when it is 0. Any thread may change it.

#include <windows.h>

namespace win
{

void ModuleLock() noexcept;
void ModuleUnlock() noexcept;
[[nodiscard]] long ModuleLockCount() noexcept;
// S_OK when nothing holds the module, S_FALSE otherwise.
[[nodiscard]] HRESULT ModuleCanUnloadNow() noexcept;

}  // namespace win
