#pragma once
// Text helpers. Texts are UTF-16 throughout the add-on; conversion to and from multi-byte text happens only
// at the HTTP boundary, through a code page (the calling thread's ANSI code page by default).

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace win
{

// Multi-byte text to UTF-16. Conversion stops at the first zero byte, as for a zero-terminated string.
[[nodiscard]] std::wstring AnsiToWide(std::string_view text, UINT codePage = CP_THREAD_ACP);

// UTF-16 to multi-byte text; characters that the code page lacks become its default character.
[[nodiscard]] std::string WideToAnsi(std::wstring_view text, UINT codePage = CP_THREAD_ACP);

// A decimal number read the way wcstol reads it with base 10: leading white space skipped, an optional sign,
// digits up to the first non-digit, the rest ignored. No digits gives 0; values beyond the 32-bit range are
// clamped to its ends. Never fails.
[[nodiscard]] std::int32_t ParseDecimal(std::wstring_view text) noexcept;

// Letter case through the system's own tables (CharUpperBuffW/CharLowerBuffW), as the platform compares.
[[nodiscard]] std::wstring ToUpper(std::wstring_view text);
[[nodiscard]] std::wstring ToLower(std::wstring_view text);
[[nodiscard]] bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept;

// printf-style formatting into a wide string. Wide text arguments take %ls, which every C runtime reads the
// same way (a plain %s means wide text in some runtimes and narrow text in others).
[[nodiscard]] std::wstring Format(const wchar_t* format, ...);

// Replaces every occurrence of `what` by `with`, scanning left to right without rescanning replacements;
// an empty `what` replaces nothing.
[[nodiscard]] std::wstring ReplaceAll(std::wstring_view text, std::wstring_view what, std::wstring_view with);

// The first occurrence of `what` replaced by `with` (the text as it is when `what` does not occur). Used to
// fill a one-argument message format without handing the format to printf.
[[nodiscard]] std::wstring ReplaceFirst(std::wstring_view text, std::wstring_view what, std::wstring_view with);

// White space removed from both ends.
[[nodiscard]] std::wstring Trim(std::wstring_view text);

}  // namespace win
