#include "storage/SharingRetry.h"

#include <atomic>

namespace storage
{

namespace
{
std::atomic<std::uint64_t> s_openRetries{0};
std::atomic<std::uint64_t> s_replaceRetries{0};
} // namespace

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
} // namespace detail

} // namespace storage
