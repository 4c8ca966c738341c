#include "win/Thread.h"

#include "win/FailureReport.h"

#include <process.h>

namespace win
{

Thread::~Thread()
{
    if (m_handle)
    {
        ::WaitForSingleObject(m_handle.Get(), INFINITE);
    }
}

bool Thread::Create(int priority) noexcept
{
    if (m_handle)
    {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    unsigned id = 0;
    // _beginthreadex rather than CreateThread, so the C runtime's per-thread data is set up and freed.
    const auto handle = _beginthreadex(nullptr, 0, &Thread::Start, this, CREATE_SUSPENDED, &id);
    if (handle == 0)
    {
        return false;
    }
    m_handle.Reset(reinterpret_cast<HANDLE>(handle));
    m_id = id;
    ::SetThreadPriority(m_handle.Get(), priority);
    return true;
}

bool Thread::Resume() noexcept
{
    return m_handle && ::ResumeThread(m_handle.Get()) != static_cast<DWORD>(-1);
}

bool Thread::Wait(DWORD timeoutMs) const noexcept
{
    return !m_handle || ::WaitForSingleObject(m_handle.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Thread::ExitCode() const noexcept
{
    DWORD code = STILL_ACTIVE;
    if (m_handle)
    {
        ::GetExitCodeThread(m_handle.Get(), &code);
    }
    return code;
}

unsigned __stdcall Thread::Start(void* self) noexcept
{
    try
    {
        return static_cast<Thread*>(self)->m_body();
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("thread body");
        return 1;
    }
}

}  // namespace win
