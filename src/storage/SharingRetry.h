#pragma once
// Bounded retry of file operations that another process blocks for a moment. Every browser process of the
// user opens the shared status file for a few milliseconds at a time; an open or a replacement that meets
// such a holder is tried again in short sleeps for up to about a second before it is given up.

#include <windows.h>

#include <cstdint>

namespace storage
{

// How long a blocked operation keeps trying, unless a RetryLimit in force on the thread says less.
inline constexpr DWORD kSharingRetryLimitMs = 1000;
// What a thread that must keep answering (a UI thread) allows one load or save in all.
inline constexpr DWORD kUiThreadRetryLimitMs = 250;

// While it lives, every blocked operation of this thread gives up once `limitMs` have passed since its
// construction: the operations of one load or save share that one budget. A thread that must stay responsive
// (a UI thread) sets a small one; the limits of nested scopes do not add up, the earliest end wins.
class RetryLimit
{
public:
    explicit RetryLimit(DWORD limitMs) noexcept;
    ~RetryLimit();
    RetryLimit(const RetryLimit&) = delete;
    RetryLimit& operator=(const RetryLimit&) = delete;

    // The end in force on this thread (GetTickCount64 time), or 0 when no scope is open.
    [[nodiscard]] static ULONGLONG CurrentDeadline() noexcept;

private:
    ULONGLONG m_previous;
};

enum class RetryKind
{
    Open,  // opening a file another process holds
    Replace,  // swapping a file another process holds
};

struct RetryCounts
{
    std::uint64_t opens = 0;
    std::uint64_t replaces = 0;
};

// Retries made in this process so far (for diagnostics and figures).
[[nodiscard]] RetryCounts GetRetryCounts() noexcept;

// True for the errors that a holder of the file causes and that go away when it lets go.
[[nodiscard]] bool IsTransientSharingError(DWORD error) noexcept;

// Calls `attempt` until it returns true, or it fails with an error other than a transient sharing error, or
// the time limit has passed. Returns the last result; GetLastError is the last attempt's error.
template <typename Attempt>
[[nodiscard]] bool RetryWhileShared(RetryKind kind, Attempt&& attempt);

namespace detail
{
void CountRetry(RetryKind kind) noexcept;
}  // namespace detail

template <typename Attempt>
bool RetryWhileShared(RetryKind kind, Attempt&& attempt)
{
    const ULONGLONG scopeEnd = RetryLimit::CurrentDeadline();
    ULONGLONG deadline = ::GetTickCount64() + kSharingRetryLimitMs;
    if (scopeEnd != 0 && scopeEnd < deadline)
    {
        deadline = scopeEnd;
    }
    DWORD pause = 1;
    for (;;)
    {
        if (attempt())
        {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (!IsTransientSharingError(error) || ::GetTickCount64() >= deadline)
        {
            ::SetLastError(error);
            return false;
        }
        detail::CountRetry(kind);
        ::Sleep(pause);
        pause = pause < 16 ? pause * 2 : 16;
    }
}

}  // namespace storage
