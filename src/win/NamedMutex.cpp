#include "win/NamedMutex.h"

#include "win/FailureReport.h"
#include "win/Strings.h"

#include <sddl.h>

#include <vector>

namespace win
{

namespace
{

// The SID of the user the process runs as, in SDDL's text form; empty when it cannot be read.
[[nodiscard]] std::wstring UserSid()
{
    KernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
    {
        return {};
    }
    DWORD size = 0;
    (void)::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    wchar_t* text = nullptr;
    if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size) ||
        !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text))
    {
        return {};
    }
    const LocalMemory owned(text);
    return text;
}

}  // namespace

bool NamedMutex::Create(std::wstring_view name) noexcept
{
    try
    {
        const std::wstring sid = UserSid();
        if (sid.empty())
        {
            m_handle.Reset();
            return false;  // the token's error stands
        }
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                Format(kSecurityFormat, sid.c_str()).c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        {
            m_handle.Reset();
            return false;
        }
        const LocalMemory owned(descriptor);
        SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
        const std::wstring n(name);
        m_handle.Reset(::CreateMutexExW(&attributes, n.c_str(), 0, kAccess));
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("NamedMutex::Create");
        m_handle.Reset();
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return m_handle.IsValid();
}

std::wstring NamedMutex::Describe(DWORD error)
{
    switch (error)
    {
    case ERROR_INVALID_HANDLE: return L"the name belongs to an object of another kind";
    case ERROR_ACCESS_DENIED: return L"a mutex of that name keeps this process out (made without its rights)";
    default: return L"the mutex cannot be made";
    }
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
