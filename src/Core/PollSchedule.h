#pragma once
// When the next status query is due, from the last check recorded in the shared status file. All instances
// decide from the same record, so the service is queried about once per interval whatever their number.
// Times are automation dates in local time (days since 30 December 1899, the fraction the time of day).

#include "Core/ControllerSettings.h"

#include <cstdint>

namespace core
{

// The seconds between polls that apply to a definitions status: the retry interval while the service cannot be
// reached (ConnectionFailure), the update interval while an update runs (Updating), else the default interval.
[[nodiscard]] std::int32_t PollIntervalSeconds(std::int32_t norvixStatus, const ControllerSettings& settings);

// Whole seconds from `from` to `to`, rounded half away from zero and clamped to the 32-bit range.
[[nodiscard]] std::int32_t SecondsBetween(double from, double to) noexcept;

// Due when the last check is not a valid date or is 0.0 (never checked), when `intervalSeconds` have passed
// since, and when the last check lies in the future: a clock set back would otherwise stop polling until it
// caught up. A last check that is no date at all (not a number, an infinity, beyond the years an automation
// date holds) is due too: the status file lies in a folder that any process of the user may write, and such a
// time must not stop every instance from polling for good.
[[nodiscard]] bool IsPollDueAt(
    double lastCheck, bool lastCheckValid, std::int32_t intervalSeconds, double now) noexcept;

}  // namespace core
