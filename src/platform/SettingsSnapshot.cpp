#include "platform/SettingsSnapshot.h"

#include <algorithm>

namespace platform
{

void SettingsSnapshot::Capture(HostStrings& host, std::span<const Setting> settings)
{
    for (const Setting& setting : settings)
    {
        const bool known = std::any_of(
            m_values.begin(), m_values.end(), [&setting](const auto& value) { return value.first == setting.key; });
        if (!known)
        {
            m_values.emplace_back(setting.key, host.GetHostString(setting.key, setting.defaultValue));
        }
    }
}

std::wstring SettingsSnapshot::GetHostString(const std::wstring& key, const std::wstring&)
{
    const auto found =
        std::find_if(m_values.begin(), m_values.end(), [&key](const auto& value) { return value.first == key; });
    if (found == m_values.end())
    {
        ++m_misses;
        return {};
    }
    return found->second;
}

std::wstring SettingsSnapshot::ExpandHostMacros(const std::wstring&)
{
    ++m_misses;
    return {};
}

}  // namespace platform
