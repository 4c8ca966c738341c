#include "Core/PollSchedule.h"

#include "net/ProductStatus.h"

#include <limits>

namespace core
{

std::int32_t PollIntervalSeconds(std::int32_t norvixStatus, const ControllerSettings& settings)
{
    switch (static_cast<net::NorvixStatus>(norvixStatus))
    {
    case net::NorvixStatus::ConnectionFailure: return settings.GetStatusRetryIntervalSecs();
    case net::NorvixStatus::Updating: return settings.GetStatusUpdateIntervalSecs();
    default: return settings.GetStatusDefaultIntervalSecs();
    }
}

std::int32_t SecondsBetween(double from, double to) noexcept
{
    // Rounded here, not by the C library's round(), which the 32-bit runtime works on the x87 unit: this way every
    // step is the build's own double arithmetic, whatever precision the calling thread's x87 unit is set to.
    const double seconds = (to - from) * 86400.0;
    if (!(seconds == seconds))
    {
        return 0;
    }
    if (seconds >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (seconds <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    {
        return std::numeric_limits<std::int32_t>::min();
    }
    const auto whole = static_cast<std::int32_t>(seconds);  // toward zero
    const double fraction = seconds - whole;  // exact
    return fraction >= 0.5 ? whole + 1 : fraction <= -0.5 ? whole - 1 : whole;
}

bool IsPollDueAt(double lastCheck, bool lastCheckValid, std::int32_t intervalSeconds, double now) noexcept
{
    // Automation dates run from 1 January 100 to 31 December 9999.
    constexpr double kFirstDate = -657434.0;
    constexpr double kLastDate = 2958466.0;
    if (!lastCheckValid || lastCheck == 0.0 || !(lastCheck >= kFirstDate && lastCheck < kLastDate))
    {
        return true;
    }
    const std::int32_t elapsed = SecondsBetween(lastCheck, now);
    return elapsed < 0 || elapsed >= intervalSeconds;
}

}  // namespace core
