#pragma once
// FailureReport: how a failure is told, where it happens. A report names the place in the source (the file as
// the build names it, with no path of the build machine, and the line), what failed as it is written there (a
// call, a condition, or what the code was doing), its code (an HRESULT; a Win32 error travels as
// HRESULT_FROM_WIN32) and, when there is more to say, a detail. Every report goes to one hook; the default
// writes one line with OutputDebugStringW, which a debug-output viewer shows on Windows and Wine prints with
// WINEDEBUG=warn+seh (Wine 8; older versions with +debugstr):
//
//   Norvix.dll: src/net/XHttpAccess.cpp(277): ::HttpSendRequestW(request, nullptr, 0, nullptr, 0): 0x80072EFD
//   (Win32 error 12029): GET http://127.0.0.1:44081/GetStatus
//
// Only failures are reported, never a pass that went well, so an idle control writes nothing. A broken rule
// (a call from a thread that must not make it, see ThreadAffinity) is reported the same way and then stops the
// process where it asked for that (the test programs do; the shipped module never stops).
//
// Any thread may report, several at once; reporting keeps the caller's last error. The hook is process-wide
// for this copy of the layer (a module and a program that links the layer each have their own).

#include <windows.h>

#include <mutex>
#include <string_view>

namespace win
{

struct FailureReport
{
    enum class Kind
    {
        Failure,
        BrokenRule,
    };

    const char* file = "";
    int line = 0;
    const char* expression = "";
    HRESULT code = S_OK;  // S_OK: the failure has no code of its own
    std::wstring_view detail;
    Kind kind = Kind::Failure;
};

using FailureHook = void (*)(const FailureReport& report) noexcept;

// Makes `hook` receive every report from now on (null: the default line); gives the hook it replaces.
FailureHook SetFailureHook(FailureHook hook) noexcept;
void ReportFailure(const FailureReport& report) noexcept;
void ReportFailure(
    const char* file, int line, const char* expression, HRESULT code, std::wstring_view detail = {}) noexcept;
// Reports `error` (GetLastError's value; 0 counts as E_FAIL) and gives it as an HRESULT.
HRESULT ReportWin32Error(const char* file, int line, const char* expression, DWORD error) noexcept;
// Inside a catch block: reports the exception being handled and gives the value a COM caller receives for it,
// E_OUTOFMEMORY for an allocation failure and E_UNEXPECTED for anything else.
HRESULT ReportCaughtException(const char* file, int line, const char* where) noexcept;

// Whether a broken rule stops the process after its report (set by the test programs only).
void SetStopOnBrokenRules(bool stop) noexcept;
void ReportBrokenRule(const char* file, int line, const char* rule, std::wstring_view detail) noexcept;

// The report as the default hook writes it, without the module's name and the line end; cut to `size - 1`
// characters. Gives the characters written.
std::size_t FormatFailure(const FailureReport& report, wchar_t* buffer, std::size_t size) noexcept;

// Work whose outcome its caller stopped waiting for (and reported itself) closes the gate its thread reports
// through: from then on the thread's reports are dropped. A report under way when the gate closes ends first.
class FailureGate
{
public:
    FailureGate() = default;
    FailureGate(const FailureGate&) = delete;
    FailureGate& operator=(const FailureGate&) = delete;
    void Close() noexcept;

private:
    friend void ReportFailure(const FailureReport& report) noexcept;
    std::mutex m_lock;
    bool m_closed = false;
};

// The calling thread reports through `gate` while this object lives.
class FailureGateScope
{
public:
    explicit FailureGateScope(FailureGate& gate) noexcept;
    FailureGateScope(const FailureGateScope&) = delete;
    FailureGateScope& operator=(const FailureGateScope&) = delete;
    ~FailureGateScope();

private:
    FailureGate* m_previous;
};

namespace detail
{
[[nodiscard]] inline HRESULT LogIfFailed(const char* file, int line, const char* expression, HRESULT hr) noexcept
{
    if (FAILED(hr))
    {
        ReportFailure(file, line, expression, hr);
    }
    return hr;
}
[[nodiscard]] inline bool LogLastErrorIf(const char* file, int line, const char* condition, bool holds) noexcept
{
    if (holds)
    {
        (void)ReportWin32Error(file, line, condition, ::GetLastError());
    }
    return holds;
}
}  // namespace detail

}  // namespace win

// Reports a failed HRESULT and returns it from the calling function.
#define WIN_RETURN_IF_FAILED(expression)                                                                               \
    do                                                                                                                 \
    {                                                                                                                  \
        const HRESULT win_hr_ = (expression);                                                                          \
        if (FAILED(win_hr_))                                                                                           \
        {                                                                                                              \
            ::win::ReportFailure(__FILE__, __LINE__, #expression, win_hr_);                                            \
            return win_hr_;                                                                                            \
        }                                                                                                              \
    } while (false)

// When the condition holds, reports the last error and returns it from the calling function as an HRESULT.
#define WIN_RETURN_LAST_ERROR_IF(condition)                                                                            \
    do                                                                                                                 \
    {                                                                                                                  \
        if (condition)                                                                                                 \
        {                                                                                                              \
            return ::win::ReportWin32Error(__FILE__, __LINE__, #condition, ::GetLastError());                          \
        }                                                                                                              \
    } while (false)

// Reports a failed HRESULT; gives the HRESULT.
#define WIN_LOG_IF_FAILED(expression) ::win::detail::LogIfFailed(__FILE__, __LINE__, #expression, (expression))
// When the condition holds, reports the last error; gives the condition.
#define WIN_LOG_LAST_ERROR_IF(condition)                                                                               \
    ::win::detail::LogLastErrorIf(__FILE__, __LINE__, #condition, static_cast<bool>(condition))
// Reports a failure that is no failed call: what was being done, its code (S_OK for none) and a detail.
#define WIN_REPORT_FAILURE(what, code, detail) ::win::ReportFailure(__FILE__, __LINE__, what, code, detail)
// Inside a catch block: reports the exception and gives its HRESULT.
#define WIN_REPORT_CAUGHT(where) ::win::ReportCaughtException(__FILE__, __LINE__, where)
