#include "win/Registry.h"

#include <vector>

namespace win
{

RegKey OpenRegKey(HKEY root, std::wstring_view path, REGSAM access) noexcept
{
    RegKey key;
    const std::wstring p(path);
    const LSTATUS status = ::RegOpenKeyExW(root, p.c_str(), 0, access, key.Put());
    if (status != ERROR_SUCCESS)
    {
        key.Reset();
        ::SetLastError(static_cast<DWORD>(status));
    }
    return key;
}

RegKey CreateRegKey(HKEY root, std::wstring_view path, REGSAM access) noexcept
{
    RegKey key;
    const std::wstring p(path);
    const LSTATUS status =
        ::RegCreateKeyExW(root, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS)
    {
        key.Reset();
        ::SetLastError(static_cast<DWORD>(status));
    }
    return key;
}

bool ReadRegString(HKEY key, const wchar_t* name, std::wstring& value, size_t maxChars)
{
    value.clear();
    if (!key || maxChars == 0)
    {
        return false;
    }
    // One spare character past the limit, always zero, so the text is terminated inside the buffer whatever
    // the stored data holds.
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(maxChars * sizeof(wchar_t));
    const LSTATUS status =
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    {
        return false;
    }
    const size_t chars = bytes / sizeof(wchar_t);
    buffer[chars < maxChars ? chars : maxChars] = L'\0';
    value.assign(buffer.data());
    return true;
}

bool ReadRegDword(HKEY key, const wchar_t* name, DWORD& value) noexcept
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    if (!key ||
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(data))
    {
        return false;
    }
    value = data;
    return true;
}

bool WriteRegString(HKEY key, const wchar_t* name, std::wstring_view value) noexcept
{
    const std::wstring v(value);
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
               static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteRegDword(HKEY key, const wchar_t* name, DWORD value) noexcept
{
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
        ERROR_SUCCESS;
}

bool DeleteRegTree(HKEY root, std::wstring_view path) noexcept
{
    const std::wstring p(path);
    const LSTATUS status = ::RegDeleteTreeW(root, p.c_str());
    if (status == ERROR_FILE_NOT_FOUND)
    {
        return true;
    }
    if (status != ERROR_SUCCESS)
    {
        return false;
    }
    // RegDeleteTree removes the named key itself on Windows; remove it here where it is left empty.
    return !OpenRegKey(root, path) || ::RegDeleteKeyW(root, p.c_str()) == ERROR_SUCCESS;
}

}  // namespace win
