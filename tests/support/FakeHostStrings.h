#pragma once
// FakeHostStrings: a host text lookup for tests. It answers each key with the override the test set, else
// with the caller's default (as the real host does for keys it does not know).
// Detached, it answers "" for everything, like a control without a host. Macro expansion leaves a text as it is.
// Single-threaded use only, or set everything before other threads start.

#include "platform/HostStrings.h"

#include <map>
#include <string>

namespace testing_support
{

class FakeHostStrings : public platform::HostStrings
{
public:
    void Set(const std::wstring& key, const std::wstring& value) { m_overrides[key] = value; }
    void Detach() { m_attached = false; }

    std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override
    {
        if (!m_attached)
        {
            return {};
        }
        const auto it = m_overrides.find(key);
        return it == m_overrides.end() ? defaultValue : it->second;
    }

    std::wstring ExpandHostMacros(const std::wstring& text) override { return m_attached ? text : L""; }

private:
    bool m_attached = true;
    std::map<std::wstring, std::wstring> m_overrides;
};

}  // namespace testing_support
