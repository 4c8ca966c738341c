#include "storage/DateTime.h"

#include <windows.h>

#include <oleauto.h>

namespace storage
{

DateTime DateTime::Now() noexcept
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    local.wMilliseconds = 0;
    DateTime result;
    if (!::SystemTimeToVariantTime(&local, &result.value))
    {
        result.value = 0.0;
        result.status = Invalid;
    }
    return result;
}

}  // namespace storage
