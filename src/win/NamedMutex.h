#pragma once
// NamedMutex: a kernel mutex shared by name between processes of the same session namespace.

#include "win/Handle.h"

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

    NamedMutex() noexcept = default;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Creates or opens the mutex, not initially owned.
    [[nodiscard]] bool Create(std::wstring_view name) noexcept;
    [[nodiscard]] WaitResult Wait(DWORD timeoutMs) noexcept;
    // Waits as Wait, but gives up as soon as `interrupt` (an event) is set.
    [[nodiscard]] WaitResult Wait(DWORD timeoutMs, HANDLE interrupt) noexcept;
    bool Release() noexcept;
    [[nodiscard]] bool IsValid() const noexcept { return m_handle.IsValid(); }
    [[nodiscard]] HANDLE Handle() const noexcept { return m_handle.Get(); }

private:
    KernelHandle m_handle;
};

}  // namespace win
