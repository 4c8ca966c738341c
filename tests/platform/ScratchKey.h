#pragma once
// A registry key of one test's own, "HKCU\Software\NorvixTests\<random>", removed with its contents at the
// end. Tests point the code's registry roots here, never at the toolbar's or the browser's own keys.

#include "win/Registry.h"

#include <objbase.h>

#include <string>

namespace platform_tests
{

class ScratchKey
{
public:
    ScratchKey()
    {
        GUID id{};
        wchar_t text[40] = {};
        (void)::CoCreateGuid(&id);
        ::StringFromGUID2(id, text, 40);
        m_path = std::wstring(L"Software\\NorvixTests\\") + text;
        m_key = win::CreateRegKey(HKEY_CURRENT_USER, m_path);
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    ~ScratchKey()
    {
        m_key.Reset();
        (void)win::DeleteRegTree(HKEY_CURRENT_USER, m_path);
    }

    [[nodiscard]] HKEY Get() const noexcept { return m_key.Get(); }
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }  // below HKCU

    // Stores raw bytes of any type below `subkey`, also what the code itself never writes.
    void Set(const std::wstring& subkey, const wchar_t* name, DWORD type, const void* data, size_t bytes) const
    {
        const win::RegKey key = win::CreateRegKey(m_key.Get(), subkey);
        ::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    }
    void SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& text) const
    {
        Set(subkey, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }

private:
    std::wstring m_path;
    win::RegKey m_key;
};

}  // namespace platform_tests
