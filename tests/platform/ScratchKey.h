#pragma once
// A registry key of its own for one test, "HKCU\Software\NorvixTests\<random>", removed with everything in
// it when the object goes. Tests point the code's registry roots here, never at the toolbar's or the
// browser's own keys.

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
        ::CoCreateGuid(&id);
        wchar_t text[40] = {};
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
    // The path below HKCU.
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }

    // A subkey, created when missing.
    [[nodiscard]] win::RegKey Create(const std::wstring& path) const { return win::CreateRegKey(m_key.Get(), path); }

    // Stores raw bytes of any type, so tests can store what the code never writes itself.
    void SetRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD bytes) const
    {
        const win::RegKey key = Create(path);
        ::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes);
    }

private:
    std::wstring m_path;
    win::RegKey m_key;
};

} // namespace platform_tests
