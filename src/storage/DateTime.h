#pragma once
// A date-time as the state files keep it: an automation date (days since 30 December 1899, the fraction
// being the time of day) with a validity status. Stored as the 32-bit status followed by the 8-byte double.

#include <cstdint>

namespace storage
{

struct DateTime
{
    enum Status : std::int32_t
    {
        Valid = 0,
        Invalid = 1,
        Null = 2,
    };

    double value = 0.0;
    std::int32_t status = Valid;

    // The current local time, to the second.
    [[nodiscard]] static DateTime Now() noexcept;

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace storage
