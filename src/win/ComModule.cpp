#include "win/ComModule.h"

#include <atomic>

namespace win
{
namespace
{
std::atomic<long> s_lockCount{0};
}  // namespace

void ModuleLock() noexcept
{
    ++s_lockCount;
}

void ModuleUnlock() noexcept
{
    --s_lockCount;
}

long ModuleLockCount() noexcept
{
    return s_lockCount.load();
}

HRESULT ModuleCanUnloadNow() noexcept
{
    return s_lockCount.load() == 0 ? S_OK : S_FALSE;
}

}  // namespace win
