#pragma once
// SettingsSnapshot: the host's values of a given set of settings, looked up at one moment on the thread that
// may call the host and read afterwards on another. The host object lives in the UI thread's apartment, so
// a worker thread asks the UI thread for one snapshot and then works from it without a call into the host,
// and without waiting for a UI thread that may be busy.
//
// A lookup of a key that was not captured gives "" and counts as a miss (a forgotten key shows in tests);
// macro expansion is never captured and gives "". Filled on one thread, then read on one thread at a time.

#include "platform/HostStrings.h"

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace platform
{

class SettingsSnapshot final : public HostStrings
{
public:
    // Adds the host's current value of each setting (a key captured already keeps its first value).
    void Capture(HostStrings& host, std::span<const Setting> settings);
    [[nodiscard]] bool IsEmpty() const noexcept { return m_values.empty(); }

    [[nodiscard]] std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override;
    [[nodiscard]] std::wstring ExpandHostMacros(const std::wstring& text) override;

    // Lookups of keys that were not captured.
    [[nodiscard]] size_t Misses() const noexcept { return m_misses; }

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_values;  // key, value: few, so a plain list
    size_t m_misses = 0;
};

}  // namespace platform
