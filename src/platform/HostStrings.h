#pragma once
// HostStrings: the host toolbar's text services as seen from the layers below the toolbar control. Every
// text, interval, code and URL of the add-on is looked up by key with a built-in default; URLs go through
// the host's brace-macro expansion. The toolbar control implements this over the host's dispatch object;
// tests hand in a fake. Both calls give "" when no host is attached.

#include <string>

namespace platform
{

// A setting as its user names it: the key and the built-in default.
struct Setting
{
    const wchar_t* key;
    const wchar_t* defaultValue;
};

class HostStrings
{
public:
    virtual ~HostStrings() = default;

    // The host's value for `key`, or `defaultValue` when the host has none; "" without a host.
    [[nodiscard]] virtual std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) = 0;
    // `text` with the host's macros ({cbid}, {dtid}, {guid}, {locale.underscore}, {random}) replaced.
    [[nodiscard]] virtual std::wstring ExpandHostMacros(const std::wstring& text) = 0;
};

}  // namespace platform
