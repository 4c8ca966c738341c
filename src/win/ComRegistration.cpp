#include "win/ComRegistration.h"

#include "win/Module.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <oleauto.h>

#include <atomic>

namespace win
{
namespace
{
std::atomic<bool> s_perUser{false};

HRESULT LastRegistryError() noexcept
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

HRESULT WriteKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) noexcept
{
    RegKey key = CreateRegKey(ClassesRoot(), path, KEY_WRITE);
    if (!key)
    {
        return LastRegistryError();
    }
    return WriteRegString(key.Get(), name, value) ? S_OK : LastRegistryError();
}

// Wine and Windows before Vista lack the per-user calls; there the machine branch is used.
using RegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

} // namespace

void SetPerUserRegistration(bool perUser) noexcept
{
    s_perUser = perUser;
}

bool IsPerUserRegistration() noexcept
{
    return s_perUser;
}

HKEY ClassesRoot() noexcept
{
    return s_perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

const wchar_t* ClassesPath() noexcept
{
    return L"Software\\Classes";
}

std::wstring GuidToString(const GUID& guid)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT RegisterControl(const ControlRegistration& control) noexcept
{
    try
    {
        const std::wstring classes = ClassesPath();
        const std::wstring classKey = classes + L"\\CLSID\\" + GuidToString(control.classId);
        const std::wstring bitmap = Format(L"%ls, %u", control.modulePath.c_str(), control.bitmapId);
        const std::wstring version = Format(L"%u.%u", control.typeLibMajor, control.typeLibMinor);
        const struct
        {
            std::wstring path;
            const wchar_t* name;
            std::wstring value;
        } values[] = {
            {classKey, nullptr, control.typeName},
            {classKey + L"\\InprocServer32", nullptr, control.modulePath},
            {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
            {classKey + L"\\ProgID", nullptr, control.progId},
            {classKey + L"\\Control", nullptr, L""},
            {classKey + L"\\MiscStatus", nullptr, L"0"},
            {classKey + L"\\MiscStatus\\1", nullptr, Format(L"%lu", control.miscStatus)},
            {classKey + L"\\TypeLib", nullptr, GuidToString(control.typeLibId)},
            {classKey + L"\\Version", nullptr, version},
            {classKey + L"\\ToolboxBitmap32", nullptr, bitmap},
            {classes + L"\\" + control.progId, nullptr, control.typeName},
            {classes + L"\\" + control.progId + L"\\CLSID", nullptr, GuidToString(control.classId)},
        };
        if (control.progId.empty())
        {
            return E_INVALIDARG;
        }
        for (const auto& value : values)
        {
            const HRESULT hr = WriteKey(value.path, value.name, value.value);
            if (FAILED(hr))
            {
                return hr;
            }
        }
        return S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterControl(const CLSID& classId, const std::wstring& progId) noexcept
{
    try
    {
        const std::wstring classes = ClassesPath();
        if (!DeleteRegTree(ClassesRoot(), classes + L"\\CLSID\\" + GuidToString(classId)))
        {
            return LastRegistryError();
        }
        if (!progId.empty() && !DeleteRegTree(ClassesRoot(), classes + L"\\" + progId))
        {
            return LastRegistryError();
        }
        return S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegisterTypeLibraryOf(const std::wstring& modulePath) noexcept
{
    ITypeLib* raw = nullptr;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &raw);
    if (FAILED(hr))
    {
        return hr;
    }
    std::wstring path = modulePath;
    const HMODULE oleaut = ::GetModuleHandleW(L"oleaut32.dll");
    const auto forUser = s_perUser ? GetProc<RegisterForUser>(oleaut, "RegisterTypeLibForUser") : nullptr;
    hr = forUser ? forUser(raw, path.data(), nullptr) : ::RegisterTypeLib(raw, path.data(), nullptr);
    raw->Release();
    return hr;
}

HRESULT UnregisterTypeLibrary(const GUID& typeLibId, WORD major, WORD minor) noexcept
{
    const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const HMODULE oleaut = ::GetModuleHandleW(L"oleaut32.dll");
    const auto forUser = s_perUser ? GetProc<UnregisterForUser>(oleaut, "UnRegisterTypeLibForUser") : nullptr;
    return forUser ? forUser(typeLibId, major, minor, LOCALE_NEUTRAL, kind)
                   : ::UnRegisterTypeLib(typeLibId, major, minor, LOCALE_NEUTRAL, kind);
}

} // namespace win
