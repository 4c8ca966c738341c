#pragma once
// FakeHostStrings: a host text lookup for tests. It answers each key with the override the test set, else
// with the caller's default (as the real host does for keys it does not know).
// Detached, it answers "" for everything, like a control without a host. Macro expansion replaces the
// test's macro values. Single-threaded use only, or set everything before other threads start.

#include "platform/HostStrings.h"

#include <map>
#include <string>

namespace testing_support
{

class FakeHostStrings : public platform::HostStrings
{
public:
    void Set(const std::wstring& key, const std::wstring& value) { m_overrides[key] = value; }
    void SetMacro(const std::wstring& macro, const std::wstring& value) { m_macros[macro] = value; }
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

    std::wstring ExpandHostMacros(const std::wstring& text) override
    {
        if (!m_attached)
        {
            return {};
        }
        std::wstring result = text;
        for (const auto& [macro, value] : m_macros)
        {
            for (size_t pos = result.find(macro); pos != std::wstring::npos;)
            {
                result.replace(pos, macro.size(), value);
                pos = result.find(macro, pos + value.size());
            }
        }
        return result;
    }

private:
    bool m_attached = true;
    std::map<std::wstring, std::wstring> m_overrides;
    std::map<std::wstring, std::wstring> m_macros;
};

}  // namespace testing_support
