#include "Output.h"

#include "win/Strings.h"

#include <mutex>

namespace kelhost
{
namespace
{
std::mutex s_lock;
std::function<void(const std::wstring&)> s_sink;
}  // namespace

void WriteLine(std::wstring_view line)
{
    std::lock_guard<std::mutex> guard(s_lock);
    if (s_sink)
    {
        s_sink(std::wstring(line));
        return;
    }
    std::string bytes = win::WideToAnsi(line, CP_UTF8);
    bytes.push_back('\n');
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
    {
        return;
    }
    size_t done = 0;
    while (done < bytes.size())
    {
        DWORD written = 0;
        if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
        {
            return;  // the reader went away; the host keeps running without a report
        }
        done += written;
    }
}

void SetLineSink(std::function<void(const std::wstring&)> sink)
{
    std::lock_guard<std::mutex> guard(s_lock);
    s_sink = std::move(sink);
}

std::wstring Quote(std::wstring_view text)
{
    std::wstring result = L"\"";
    for (const wchar_t c : text)
    {
        switch (c)
        {
        case L'"': result += L"\\\""; break;
        case L'\\': result += L"\\\\"; break;
        case L'\n': result += L"\\n"; break;
        case L'\r': result += L"\\r"; break;
        case L'\t': result += L"\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F)
            {
                result += win::Format(L"\\x%02X", static_cast<unsigned>(c));
            }
            else
            {
                result += c;
            }
        }
    }
    result += L'"';
    return result;
}

std::wstring HexResult(HRESULT hr)
{
    return win::Format(L"0x%08lX", static_cast<unsigned long>(hr));
}

}  // namespace kelhost
