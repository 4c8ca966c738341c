#pragma once
// The one script the host runs for an add-on: toolbar.FireEvent("NAME", N), which the add-on sends with the
// attribute message and command id 0. The name is a quoted text in which only \" and \\ are escapes; the
// number is a decimal 32-bit integer. Anything else is refused, so a name can never smuggle more script.

#include <cstdint>
#include <string>
#include <string_view>

namespace kelhost
{

struct ToolbarEvent
{
    std::wstring name;
    std::int32_t number = 0;
};

// Longest event name the host accepts (names travel between processes).
constexpr size_t kMaxEventNameLength = 256;

// A name the host delivers: 1..kMaxEventNameLength characters, none of them a control character.
[[nodiscard]] bool IsValidEventName(std::wstring_view name) noexcept;

// Reads `toolbar.FireEvent("NAME", N)`: exactly that call, spaces allowed only after the comma and before
// the closing parenthesis, nothing before or after it. False (and `event` untouched) for anything else.
[[nodiscard]] bool ParseFireEventScript(std::wstring_view script, ToolbarEvent& event);

}  // namespace kelhost
