#include "win/NamedMutex.h"

#include "win/FailureReport.h"

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
        (void)WIN_REPORT_CAUGHT("NamedMutex::Create");
        m_handle.Reset();
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return m_handle.IsValid();
}

NamedMutex::WaitResult NamedMutex::Wait(DWORD timeoutMs) noexcept
{
    return Wait(timeoutMs, nullptr);
}

NamedMutex::WaitResult NamedMutex::Wait(DWORD timeoutMs, HANDLE interrupt) noexcept
{
    if (!m_handle)
    {
        return WaitResult::Failed;
    }
    // The interrupting event first: when both are ready, stopping wins.
    const HANDLE handles[] = {interrupt, m_handle.Get()};
    const DWORD count = interrupt ? 2 : 1;
    const HANDLE* first = interrupt ? handles : handles + 1;
    const DWORD mutexIndex = count - 1;
    const DWORD woken = ::WaitForMultipleObjects(count, first, FALSE, timeoutMs);
    if (woken == WAIT_OBJECT_0 + mutexIndex)
    {
        return WaitResult::Acquired;
    }
    if (woken == WAIT_ABANDONED_0 + mutexIndex)
    {
        return WaitResult::Abandoned;
    }
    if (interrupt && woken == WAIT_OBJECT_0)
    {
        return WaitResult::Interrupted;
    }
    return woken == WAIT_TIMEOUT ? WaitResult::TimedOut : WaitResult::Failed;
}

bool NamedMutex::Release() noexcept
{
    return m_handle && ::ReleaseMutex(m_handle.Get());
}

}  // namespace win
