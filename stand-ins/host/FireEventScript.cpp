#include "FireEventScript.h"

#include <climits>

namespace kelhost
{
namespace
{
constexpr std::wstring_view kPrefix = L"toolbar.FireEvent(\"";

bool IsDigit(wchar_t c) noexcept
{
    return c >= L'0' && c <= L'9';
}

// A decimal integer with an optional minus sign, in the 32-bit range; `pos` moves past it.
bool ReadNumber(std::wstring_view text, size_t& pos, std::int32_t& value) noexcept
{
    bool negative = false;
    if (pos < text.size() && text[pos] == L'-')
    {
        negative = true;
        ++pos;
    }
    const size_t firstDigit = pos;
    long long magnitude = 0;
    while (pos < text.size() && IsDigit(text[pos]))
    {
        magnitude = magnitude * 10 + (text[pos] - L'0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
        {
            return false;
        }
        ++pos;
    }
    if (pos == firstDigit || (!negative && magnitude > INT_MAX))
    {
        return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

void SkipSpaces(std::wstring_view text, size_t& pos) noexcept
{
    while (pos < text.size() && text[pos] == L' ')
    {
        ++pos;
    }
}
}  // namespace

bool IsValidEventName(std::wstring_view name) noexcept
{
    if (name.empty() || name.size() > kMaxEventNameLength)
    {
        return false;
    }
    for (const wchar_t c : name)
    {
        if (c < 0x20 || c == 0x7F)
        {
            return false;
        }
    }
    return true;
}

bool ParseFireEventScript(std::wstring_view script, ToolbarEvent& event)
{
    if (script.substr(0, kPrefix.size()) != kPrefix)
    {
        return false;
    }
    size_t pos = kPrefix.size();
    std::wstring name;
    for (;;)
    {
        if (pos >= script.size())
        {
            return false;  // the name's quote is never closed
        }
        const wchar_t c = script[pos++];
        if (c == L'"')
        {
            break;
        }
        if (c == L'\\')
        {
            if (pos >= script.size() || (script[pos] != L'"' && script[pos] != L'\\'))
            {
                return false;
            }
            name += script[pos++];
            continue;
        }
        name += c;
    }
    if (!IsValidEventName(name))
    {
        return false;
    }
    if (pos >= script.size() || script[pos] != L',')
    {
        return false;
    }
    ++pos;
    SkipSpaces(script, pos);
    std::int32_t number = 0;
    if (!ReadNumber(script, pos, number))
    {
        return false;
    }
    SkipSpaces(script, pos);
    if (pos + 1 != script.size() || script[pos] != L')')
    {
        return false;
    }
    event.name = std::move(name);
    event.number = number;
    return true;
}

}  // namespace kelhost
