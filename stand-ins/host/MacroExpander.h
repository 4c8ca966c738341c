#pragma once
// The host's brace macros, as it expands them for the add-on (host call 14): {cbid}, {dtid}, {guid},
// {locale.underscore} and {random}. Names match without regard to case; a brace pair that names no macro
// stays as it is. Replaced values are not scanned again, so a value that itself contains braces is
// inserted literally.

#include <functional>
#include <string>
#include <string_view>

namespace kelhost
{

struct MacroValues
{
    std::wstring cbid = L"KEL001";
    std::wstring dtid = L"DT01";
    std::wstring guid = L"{6F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8}";
    std::wstring localeUnderscore = L"en_US";
    // A fresh value for each {random}; decimal digits.
    std::function<std::wstring()> random;
};

[[nodiscard]] std::wstring ExpandMacros(std::wstring_view text, const MacroValues& values);

// A random decimal number of up to nine digits, from a generator seeded once per process.
[[nodiscard]] std::wstring RandomDigits();

}  // namespace kelhost
