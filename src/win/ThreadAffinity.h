#pragma once
// ThreadAffinity: the thread an object belongs to, and the check of a call that only that thread may make (an
// apartment-threaded control, a window, a COM initialisation, a worker's UI-thread side). It records the
// thread that made it; a check from another thread is reported as a broken rule (FailureReport), which stops
// the process in the test programs, and gives false so that the call can refuse itself in the shipped module.
//
// Holds one word; copying takes the thread along (an owner that moves its object keeps its thread).

#include "win/FailureReport.h"

namespace win
{

class ThreadAffinity
{
public:
    ThreadAffinity() noexcept : m_thread(::GetCurrentThreadId()) {}

    [[nodiscard]] DWORD Thread() const noexcept { return m_thread; }
    [[nodiscard]] bool IsCurrent() const noexcept { return m_thread == ::GetCurrentThreadId(); }
    // The calling thread becomes the object's (an object made on one thread and put to work on another, before
    // its first use there).
    void Rebind() noexcept { m_thread = ::GetCurrentThreadId(); }

    // True on the object's thread; otherwise reports `call` as a broken rule and gives false.
    bool Check(const char* file, int line, const char* call) const noexcept
    {
        if (IsCurrent())
        {
            return true;
        }
        wchar_t detail[96];
        const int n =
            ::wsprintfW(detail, L"called on thread %lu, belongs to thread %lu", ::GetCurrentThreadId(), m_thread);
        ReportBrokenRule(file, line, call, std::wstring_view(detail, n > 0 ? static_cast<std::size_t>(n) : 0));
        return false;
    }

private:
    DWORD m_thread;
};

}  // namespace win

// Checks that the calling thread is the one `affinity` records; names the calling function in the report.
#define WIN_CHECK_THREAD(affinity) (affinity).Check(__FILE__, __LINE__, __func__)
