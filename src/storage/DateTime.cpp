#include "storage/DateTime.h"

#include "storage/Archive.h"

#include <windows.h>

#include <oleauto.h>

namespace storage
{

DateTime DateTime::Now() noexcept
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    local.wMilliseconds = 0;
    double value = 0.0;
    if (!::SystemTimeToVariantTime(&local, &value))
    {
        return FromValue(0.0, Invalid);
    }
    return FromValue(value);
}

void DateTime::Serialize(Archive& archive)
{
    // The eight bytes as two little-endian halves, the low one first: the double's own byte order.
    if (archive.IsStoring())
    {
        archive << status << static_cast<std::uint32_t>(bits) << static_cast<std::uint32_t>(bits >> 32);
    }
    else
    {
        std::uint32_t low = 0, high = 0;
        archive >> status >> low >> high;
        bits = (std::uint64_t{high} << 32) | low;
    }
}

}  // namespace storage
