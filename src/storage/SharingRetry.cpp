#include "storage/SharingRetry.h"

#include <atomic>

namespace storage
{

namespace
{
std::atomic<std::uint64_t> s_openRetries{0};
std::atomic<std::uint64_t> s_replaceRetries{0};
thread_local ULONGLONG t_deadline = 0;
}  // namespace

RetryLimit::RetryLimit(DWORD limitMs) noexcept : m_previous(t_deadline)
{
    const ULONGLONG end = ::GetTickCount64() + limitMs;
    t_deadline = m_previous != 0 && m_previous < end ? m_previous : end;
}

RetryLimit::~RetryLimit()
{
    t_deadline = m_previous;
}

ULONGLONG RetryLimit::CurrentDeadline() noexcept
{
    return t_deadline;
}

RetryCounts GetRetryCounts() noexcept
{
    RetryCounts counts;
    counts.opens = s_openRetries.load();
    counts.replaces = s_replaceRetries.load();
    return counts;
}

bool IsTransientSharingError(DWORD error) noexcept
{
    // ERROR_UNABLE_TO_REMOVE_REPLACED: the replacement could not take the old file away (it was open); both
    // files keep their names, so trying again is safe.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
        error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

namespace detail
{
void CountRetry(RetryKind kind) noexcept
{
    (kind == RetryKind::Open ? s_openRetries : s_replaceRetries).fetch_add(1);
}
}  // namespace detail

}  // namespace storage
