#include "HostSettings.h"

#include "win/File.h"
#include "win/Strings.h"

namespace kelhost
{
namespace
{
// Override files are small; anything larger is not a settings file.
constexpr unsigned long long kMaxFileBytes = 4ULL * 1024 * 1024;
}  // namespace

std::wstring HostSettings::Lookup(std::wstring_view key, std::wstring_view defaultValue) const
{
    const auto found = m_values.find(key);
    return found != m_values.end() ? found->second : std::wstring(defaultValue);
}

void HostSettings::Set(std::wstring key, std::wstring value)
{
    m_values[std::move(key)] = std::move(value);
}

void HostSettings::LoadText(std::wstring_view text, std::vector<std::wstring>& problems)
{
    size_t lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size())
    {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring_view::npos)
        {
            end = text.size();
        }
        ++lineNumber;
        const std::wstring line = win::Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == L'#' || line[0] == L';')
        {
            continue;
        }
        const size_t equals = line.find(L'=');
        std::wstring key = equals == std::wstring::npos ? std::wstring() : win::Trim(line.substr(0, equals));
        if (key.empty())
        {
            problems.push_back(win::Format(L"line %zu: %ls", lineNumber, line.c_str()));
            continue;
        }
        Set(std::move(key), win::Trim(std::wstring_view(line).substr(equals + 1)));
    }
}

bool HostSettings::LoadFile(const std::wstring& path, std::vector<std::wstring>& problems)
{
    const win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
    {
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || static_cast<unsigned long long>(size.QuadPart) > kMaxFileBytes)
    {
        return false;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
            read != bytes.size()))
    {
        return false;
    }
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
    {
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
    }
    else
    {
        std::string_view utf8(bytes);
        if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        {
            utf8.remove_prefix(3);
        }
        text = win::AnsiToWide(utf8, CP_UTF8);
    }
    LoadText(text, problems);
    return true;
}

}  // namespace kelhost
