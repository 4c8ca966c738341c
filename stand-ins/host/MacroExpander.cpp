#include "MacroExpander.h"

#include "win/Strings.h"

#include <windows.h>

#include <mutex>
#include <random>

namespace kelhost
{

std::wstring ExpandMacros(std::wstring_view text, const MacroValues& values)
{
    std::wstring result;
    result.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size())
    {
        const size_t open = text.find(L'{', pos);
        if (open == std::wstring_view::npos)
        {
            result.append(text.substr(pos));
            break;
        }
        result.append(text.substr(pos, open - pos));
        const size_t close = text.find(L'}', open + 1);
        if (close == std::wstring_view::npos)
        {
            result.append(text.substr(open));
            break;
        }
        const std::wstring_view name = text.substr(open + 1, close - open - 1);
        const std::wstring* value = nullptr;
        std::wstring random;
        if (win::EqualsNoCase(name, L"cbid"))
        {
            value = &values.cbid;
        }
        else if (win::EqualsNoCase(name, L"dtid"))
        {
            value = &values.dtid;
        }
        else if (win::EqualsNoCase(name, L"guid"))
        {
            value = &values.guid;
        }
        else if (win::EqualsNoCase(name, L"locale.underscore"))
        {
            value = &values.localeUnderscore;
        }
        else if (win::EqualsNoCase(name, L"random"))
        {
            random = values.random ? values.random() : RandomDigits();
            value = &random;
        }
        if (value)
        {
            result.append(*value);
            pos = close + 1;
        }
        else
        {
            // Not a macro: keep the brace and look for a macro that may start inside it ("{{cbid}").
            result += L'{';
            pos = open + 1;
        }
    }
    return result;
}

std::wstring RandomDigits()
{
    static std::mutex lock;
    static std::mt19937 generator(static_cast<unsigned>(::GetTickCount()) ^ ::GetCurrentProcessId());
    std::lock_guard<std::mutex> guard(lock);
    std::uniform_int_distribution<unsigned> distribution(0, 999999999u);
    return win::Format(L"%u", distribution(generator));
}

}  // namespace kelhost
