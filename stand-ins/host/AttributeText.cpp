#include "AttributeText.h"

namespace kelhost
{

bool ParseAttribute(std::wstring_view text, Attribute& attribute)
{
    const size_t equals = text.find(L'=');
    if (equals == std::wstring_view::npos)
    {
        return false;
    }
    const std::wstring_view name = text.substr(0, equals);
    const std::wstring_view quoted = text.substr(equals + 1);
    if (quoted.size() < 2 || quoted.front() != L'"' || quoted.back() != L'"')
    {
        return false;
    }
    const std::wstring_view value = quoted.substr(1, quoted.size() - 2);
    Attribute parsed;
    if (name == L"icon")
    {
        parsed.kind = AttributeKind::Icon;
    }
    else if (name == L"title")
    {
        parsed.kind = AttributeKind::Title;
    }
    else if (name == L"tooltip")
    {
        parsed.kind = AttributeKind::Tooltip;
    }
    else if (name == L"visibility")
    {
        parsed.kind = AttributeKind::Visibility;
        if (value == L"true")
        {
            parsed.visible = true;
        }
        else if (value == L"false")
        {
            parsed.visible = false;
        }
        else
        {
            return false;
        }
    }
    else
    {
        return false;
    }
    parsed.value = value;
    attribute = std::move(parsed);
    return true;
}

}  // namespace kelhost
