#include "win/NamedMutex.h"

#include <string>

namespace win
{

bool NamedMutex::Create(std::wstring_view name) noexcept
{
    try
    {
        const std::wstring n(name);
        m_handle.Reset(::CreateMutexW(nullptr, FALSE, n.c_str()));
    }
    catch (...)
    {
        m_handle.Reset();
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return m_handle.IsValid();
}

NamedMutex::WaitResult NamedMutex::Wait(DWORD timeoutMs) noexcept
{
    if (!m_handle)
    {
        return WaitResult::Failed;
    }
    switch (::WaitForSingleObject(m_handle.Get(), timeoutMs))
    {
    case WAIT_OBJECT_0: return WaitResult::Acquired;
    case WAIT_ABANDONED: return WaitResult::Abandoned;
    case WAIT_TIMEOUT: return WaitResult::TimedOut;
    default: return WaitResult::Failed;
    }
}

bool NamedMutex::Release() noexcept
{
    return m_handle && ::ReleaseMutex(m_handle.Get());
}

}  // namespace win
