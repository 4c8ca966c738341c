#include "SystemSnapshot.h"

#include "win/Handle.h"
#include "win/Strings.h"

#include <windows.h>

#include <thread>

namespace package_tests
{
namespace
{

std::wstring DescribeData(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    switch (type)
    {
    case REG_SZ:
    case REG_EXPAND_SZ:
    {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
        {
            text.pop_back();
        }
        return (type == REG_SZ ? L"REG_SZ " : L"REG_EXPAND_SZ ") + text;
    }
    case REG_DWORD:
        return size == sizeof(DWORD) ? win::Format(L"REG_DWORD %lu", *reinterpret_cast<const DWORD*>(data.data()))
                                     : L"REG_DWORD ?";
    default:
    {
        std::wstring text = win::Format(L"type %lu:", type);
        for (DWORD i = 0; i < size; ++i)
        {
            text += win::Format(L"%02x", data[i]);
        }
        return text;
    }
    }
}

void ListKey(HKEY key, const std::wstring& path, std::map<std::wstring, std::wstring>& entries)
{
    entries[path + L"\\"] = L"";
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
            &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    {
        return;
    }
    std::vector<wchar_t> name(std::max(longestName, longestSubkey) + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD i = 0; i < values; ++i)
    {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
        {
            entries[path + L"\\\\" + std::wstring(name.data(), nameLength)] = DescribeData(type, data, size);
        }
    }
    for (DWORD i = 0; i < subkeys; ++i)
    {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        {
            continue;
        }
        const std::wstring child(name.data(), nameLength);
        if ((path == L"HKCU\\Software" || path == L"HKLM\\Software") && win::EqualsNoCase(child, L"Wine"))
        {
            continue;
        }
        win::RegKey opened;
        if (::RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS)
        {
            ListKey(opened.Get(), path + L"\\" + child, entries);
        }
    }
}

void ListFolder(const std::wstring& folder, std::map<std::wstring, std::wstring>& entries)
{
    WIN32_FIND_DATAW found{};
    win::FindHandle search(
        ::FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
    {
        return;
    }
    do
    {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
        {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            entries[folder + name + L"\\"] = L"";
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            {
                ListFolder(folder + name + L"\\", entries);
            }
        }
        else
        {
            const ULONGLONG size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            entries[folder + name] = std::to_wstring(size);
        }
    } while (::FindNextFileW(search.Get(), &found));
}

}  // namespace

SystemSnapshot SystemSnapshot::Take()
{
    // The drive is listed while the registry is: each waits mostly for the Wine server.
    SystemSnapshot snapshot;
    std::map<std::wstring, std::wstring> files;
    std::thread drive([&files] { ListFolder(L"C:\\", files); });
    ListKey(HKEY_CURRENT_USER, L"HKCU", snapshot.m_entries);
    win::RegKey software;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, software.Put()) == ERROR_SUCCESS)
    {
        ListKey(software.Get(), L"HKLM\\Software", snapshot.m_entries);
    }
    drive.join();
    snapshot.m_entries.merge(files);
    return snapshot;
}

SystemSnapshot SystemSnapshot::TakeOf(const std::vector<std::wstring>& keys, const std::vector<std::wstring>& files)
{
    SystemSnapshot snapshot;
    for (const std::wstring& key : keys)
    {
        win::RegKey opened;
        const HKEY root = key.starts_with(L"HKCU\\") ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        if (::RegOpenKeyExW(root, key.substr(5).c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS)
        {
            ListKey(opened.Get(), key, snapshot.m_entries);
        }
    }
    for (const std::wstring& file : files)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data))
        {
            snapshot.m_entries[file] =
                std::to_wstring((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        }
    }
    return snapshot;
}

std::vector<std::wstring> SystemSnapshot::AddedIn(const SystemSnapshot& later) const
{
    std::vector<std::wstring> added;
    for (const auto& [entry, content] : later.m_entries)
    {
        const auto it = m_entries.find(entry);
        if (it == m_entries.end() || it->second != content)
        {
            added.push_back(content.empty() ? entry : entry + L" = " + content);
        }
    }
    return added;
}

std::vector<std::wstring> SystemSnapshot::RemovedIn(const SystemSnapshot& later) const
{
    std::vector<std::wstring> removed;
    for (const auto& [entry, content] : m_entries)
    {
        if (!later.m_entries.count(entry))
        {
            removed.push_back(content.empty() ? entry : entry + L" = " + content);
        }
    }
    return removed;
}

}  // namespace package_tests
