#pragma once
// NamedMutex: a kernel mutex shared by name between processes of the same session namespace, whatever their
// integrity level.
//
// A mutex it creates carries a low mandatory label and a DACL that grants the user's processes only what a holder
// needs: SYNCHRONIZE to wait for it and MUTEX_MODIFY_STATE to release it (Windows' ReleaseMutex asks for that
// right, though Wine does not: a handle with SYNCHRONIZE alone could take the mutex and never give it back). An
// existing mutex of the name is opened with that access only, so a browser whose tabs run at different integrity levels
// (an Internet tab at low, an intranet tab at medium) shares it whichever tab made it first. Creation fails when the
// name belongs to an object of another kind (ERROR_INVALID_HANDLE) or to a mutex whose security keeps this process out
// (ERROR_ACCESS_DENIED: one made without these rights, by an older version or another program); the last error
// tells which, and Describe puts it in words.

#include "win/Handle.h"

#include <string>
#include <string_view>

namespace win
{

class NamedMutex
{
public:
    enum class WaitResult
    {
        Acquired,
        Abandoned,  // the previous holder ended without releasing; the caller now owns it
        TimedOut,
        Interrupted,  // the interrupting event came first; the mutex was not taken
        Failed,
    };

    // The access of the handle, and what the mutex grants the user.
    static constexpr DWORD kAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;
    // The security of a mutex this class creates, in SDDL; %ls is the user's SID.
    static constexpr const wchar_t* kSecurityFormat = L"D:(A;;0x00100001;;;%ls)S:(ML;;NW;;;LW)";

    NamedMutex() noexcept = default;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Creates or opens the mutex, not initially owned. False with the last error set on failure.
    [[nodiscard]] bool Create(std::wstring_view name) noexcept;
    [[nodiscard]] WaitResult Wait(DWORD timeoutMs) noexcept;
    // Waits as Wait, but gives up as soon as `interrupt` (an event) is set.
    [[nodiscard]] WaitResult Wait(DWORD timeoutMs, HANDLE interrupt) noexcept;
    bool Release() noexcept;
    [[nodiscard]] bool IsValid() const noexcept { return m_handle.IsValid(); }
    [[nodiscard]] HANDLE Handle() const noexcept { return m_handle.Get(); }

    // Why Create failed with `error`, in words.
    [[nodiscard]] static std::wstring Describe(DWORD error);

private:
    KernelHandle m_handle;
};

}  // namespace win
