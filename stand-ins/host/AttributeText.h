#pragma once
// One attribute of the host's attribute message: `name="value"`, where name is icon, title, tooltip or
// visibility. The add-on puts the value between quotes without escaping it, so the value runs from the
// quote after "=" to the last character of the text, which must be the closing quote; quotes inside the
// value belong to it. Visibility takes only "true" or "false".

#include <string>
#include <string_view>

namespace kelhost
{

enum class AttributeKind
{
    Icon,
    Title,
    Tooltip,
    Visibility,
};

struct Attribute
{
    AttributeKind kind = AttributeKind::Icon;
    std::wstring value;
    bool visible = true;  // for Visibility
};

// False for an unknown name, a missing "=" or quote, text after the closing quote, or a visibility other
// than "true"/"false"; `attribute` is then untouched.
[[nodiscard]] bool ParseAttribute(std::wstring_view text, Attribute& attribute);

}  // namespace kelhost
