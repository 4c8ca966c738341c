#include "win/Strings.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <vector>

namespace win
{

std::wstring AnsiToWide(std::string_view text, UINT codePage)
{
    const auto zero = text.find('\0');
    if (zero != std::string_view::npos)
    {
        text = text.substr(0, zero);
    }
    if (text.empty())
    {
        return {};
    }
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (needed <= 0)
    {
        return {};
    }
    std::wstring result(static_cast<size_t>(needed), L'\0');
    const int written =
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), needed);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}

std::string WideToAnsi(std::wstring_view text, UINT codePage)
{
    if (text.empty())
    {
        return {};
    }
    const int needed =
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
    {
        return {};
    }
    std::string result(static_cast<size_t>(needed), '\0');
    const int written = ::WideCharToMultiByte(
        codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), needed, nullptr, nullptr);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}

std::int32_t ParseDecimal(std::wstring_view text) noexcept
{
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
    {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
    {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulate as a magnitude in 64 bits and stop growing once past the range: the clamp needs no more.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    {
        if (magnitude <= kLimit)
        {
            magnitude = magnitude * 10 + (text[i] - L'0');
        }
    }
    if (negative)
    {
        return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min() : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(magnitude);
}

std::wstring ToUpper(std::wstring_view text)
{
    std::wstring result(text);
    if (!result.empty())
    {
        ::CharUpperBuffW(result.data(), static_cast<DWORD>(result.size()));
    }
    return result;
}

std::wstring ToLower(std::wstring_view text)
{
    std::wstring result(text);
    if (!result.empty())
    {
        ::CharLowerBuffW(result.data(), static_cast<DWORD>(result.size()));
    }
    return result;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept
{
    if (a.size() != b.size())
    {
        return false;
    }
    if (a.empty())
    {
        return true;
    }
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
        CSTR_EQUAL;
}

std::wstring Format(const wchar_t* format, ...)
{
    std::vector<wchar_t> buffer(256);
    for (;;)
    {
        va_list args;
        va_start(args, format);
        const int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size())
        {
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        }
        if (buffer.size() >= (1u << 24))
        {
            return {};
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view what, std::wstring_view with)
{
    if (what.empty())
    {
        return std::wstring(text);
    }
    std::wstring result;
    size_t start = 0;
    for (size_t hit = text.find(what); hit != std::wstring_view::npos; hit = text.find(what, start))
    {
        result.append(text.substr(start, hit - start));
        result.append(with);
        start = hit + what.size();
    }
    result.append(text.substr(start));
    return result;
}

std::wstring ReplaceFirst(std::wstring_view text, std::wstring_view what, std::wstring_view with)
{
    std::wstring result(text);
    const auto at = what.empty() ? std::wstring::npos : result.find(what);
    if (at != std::wstring::npos)
    {
        result.replace(at, what.size(), with);
    }
    return result;
}

std::wstring Trim(std::wstring_view text)
{
    size_t first = 0;
    while (first < text.size() && std::iswspace(text[first]))
    {
        ++first;
    }
    size_t last = text.size();
    while (last > first && std::iswspace(text[last - 1]))
    {
        --last;
    }
    return std::wstring(text.substr(first, last - first));
}

}  // namespace win
