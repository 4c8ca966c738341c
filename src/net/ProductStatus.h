#pragma once
// The two states the product reports, as the signed 32-bit codes that the status file stores and the buttons
// show.

#include <cstdint>

namespace net
{

// State of the product's virus definitions.
enum class NorvixStatus : std::int32_t
{
    ConnectionFailure = -2,  // the status request failed
    Error = -1,  // the answer was not usable
    Default = 0,  // no known state
    Uptodate = 1,
    Update = 2,
    Updating = 3,  // set by the control while an update it started runs
};

// State of the web-protection feature.
enum class PaviseStatus : std::int32_t
{
    ConnectionFailure = -2,
    Error = -1,
    Default = 0,
    Activated = 1,
    Deactivated = 2,
};

[[nodiscard]] constexpr bool IsValidNorvixStatus(std::int32_t value) noexcept
{
    return value >= static_cast<std::int32_t>(NorvixStatus::ConnectionFailure) &&
        value <= static_cast<std::int32_t>(NorvixStatus::Updating);
}

[[nodiscard]] constexpr bool IsValidPaviseStatus(std::int32_t value) noexcept
{
    return value >= static_cast<std::int32_t>(PaviseStatus::ConnectionFailure) &&
        value <= static_cast<std::int32_t>(PaviseStatus::Deactivated);
}

}  // namespace net
