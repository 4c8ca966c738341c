#pragma once
// A date-time as the state files keep it: an automation date (days since 30 December 1899, the fraction being
// the time of day) with a validity status. Stored as the 32-bit status followed by the date's 8-byte IEEE double.
//
// NOTE: the date is held as its eight bytes, not as a double, so that a record is written back exactly as it was
// read: a 32-bit build that moves a double through the x87 unit turns a signalling NaN into a quiet one. Only
// Value() makes a number of it, for the code that computes with it.

#include <bit>
#include <cstdint>

namespace storage
{

class Archive;

struct DateTime
{
    enum Status : std::int32_t
    {
        Valid = 0,
        Invalid = 1,
        Null = 2,
    };

    std::uint64_t bits = 0;  // the IEEE double; 0.0 by default
    std::int32_t status = Valid;

    [[nodiscard]] static DateTime FromValue(double value, std::int32_t status = Valid) noexcept
    {
        return {std::bit_cast<std::uint64_t>(value), status};
    }
    [[nodiscard]] double Value() const noexcept { return std::bit_cast<double>(bits); }

    // The current local time, to the second.
    [[nodiscard]] static DateTime Now() noexcept;

    // Stores or loads the status and the date's bytes, little-endian; throws what the archive throws.
    void Serialize(Archive& archive);

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace storage
