#pragma once
// When the next status query is due, from the last check recorded in the shared status file. All instances
// decide from the same record, so the service is queried about once per interval whatever their number.
// Times are automation dates in local time (days since 30 December 1899, the fraction the time of day).

#include <cstdint>

struct PollIntervals
{
    std::int32_t defaultSeconds;  // between polls
    std::int32_t retrySeconds;    // while the definitions status is ConnectionFailure
    std::int32_t updateSeconds;   // while the definitions status is Updating
};

// The interval that applies to a definitions status.
[[nodiscard]] std::int32_t PollIntervalFor(std::int32_t norvixStatus, const PollIntervals& intervals) noexcept;

// Whole seconds from `from` to `to`, rounded half away from zero and clamped to the 32-bit range.
[[nodiscard]] std::int32_t SecondsBetween(double from, double to) noexcept;

// Due when the last check is not a valid date or is 0.0 (never checked), when the interval has run out, and
// when the last check lies in the future: a clock set back would otherwise stop polling until it catches up.
[[nodiscard]] bool IsPollDueAt(double lastCheck, bool lastCheckValid, std::int32_t norvixStatus,
    const PollIntervals& intervals, double now) noexcept;
