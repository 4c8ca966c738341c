#include "win/ComRegistration.h"

#include "win/Bstr.h"
#include "win/ComBoundary.h"
#include "win/ComPtr.h"
#include "win/FailureReport.h"
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

// Reports the registry's last error for the step on `path` (in the chosen branch) and gives it as an HRESULT.
HRESULT LastRegistryError(const char* step, const std::wstring& path) noexcept
{
    const DWORD error = ::GetLastError();
    const HRESULT hr = error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
    WIN_REPORT_FAILURE(step, hr, path);
    return hr;
}

HRESULT WriteKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) noexcept
{
    RegKey key = CreateRegKey(ClassesRoot(), path, KEY_WRITE);
    if (!key)
    {
        return LastRegistryError("CreateRegKey(ClassesRoot(), path, KEY_WRITE)", path);
    }
    return WriteRegString(key.Get(), name, value) ? S_OK
                                                  : LastRegistryError("WriteRegString(key.Get(), name, value)", path);
}

}  // namespace

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
    return ComBoundary([&] {
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
            WIN_REPORT_FAILURE("control.progId.empty()", E_INVALIDARG, L"a control needs a ProgID");
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
    });
}

HRESULT UnregisterControl(const CLSID& classId, const std::wstring& progId) noexcept
{
    return ComBoundary([&] {
        const std::wstring classes = ClassesPath();
        const std::wstring classKey = classes + L"\\CLSID\\" + GuidToString(classId);
        if (!DeleteRegTree(ClassesRoot(), classKey))
        {
            return LastRegistryError("DeleteRegTree(ClassesRoot(), classKey)", classKey);
        }
        if (!progId.empty() && !DeleteRegTree(ClassesRoot(), classes + L"\\" + progId))
        {
            return LastRegistryError("DeleteRegTree(ClassesRoot(), classes + progId)", classes + L"\\" + progId);
        }
        return S_OK;
    });
}

namespace
{
// What the system's type-library registration writes for the library and for each of its interfaces that
// COM marshals from the type library (dispinterfaces through the dispatch proxy, automation interfaces
// through the type-library proxy).
const wchar_t kDispatchProxy[] = L"{00020420-0000-0000-C000-000000000046}";
const wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";

std::wstring TypeLibKey(const GUID& typeLibId)
{
    return std::wstring(ClassesPath()) + L"\\TypeLib\\" + GuidToString(typeLibId);
}

std::wstring VersionText(WORD major, WORD minor)
{
    return Format(L"%x.%x", major, minor);
}

// Calls `visit(iid, name, proxy)` for every interface of the library that needs an Interface key.
template <typename Visit>
HRESULT ForEachMarshalledInterface(ITypeLib* library, Visit visit)
{
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i)
    {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (FAILED(library->GetTypeInfo(i, info.Put())) || FAILED(info->GetTypeAttr(&attributes)))
        {
            continue;
        }
        const GUID iid = attributes->guid;
        const TYPEKIND kind = attributes->typekind;
        const WORD flags = attributes->wTypeFlags;
        info->ReleaseTypeAttr(attributes);
        const wchar_t* proxy = nullptr;
        if (kind == TKIND_DISPATCH)
        {
            proxy = kDispatchProxy;
        }
        else if (kind == TKIND_INTERFACE && (flags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL)))
        {
            proxy = kAutomationProxy;
        }
        if (!proxy)
        {
            continue;
        }
        Bstr name;
        (void)library->GetDocumentation(static_cast<INT>(i), name.Put(), nullptr, nullptr, nullptr);
        const HRESULT hr = visit(iid, name.IsValid() ? std::wstring(name.Get()) : std::wstring(), proxy);
        if (FAILED(hr))
        {
            return hr;
        }
    }
    return S_OK;
}

// The current user's registration, written the way the system writes a machine's. The system's per-user call
// is missing before Vista and registers for the whole machine under Wine, so it is not used.
HRESULT RegisterTypeLibraryForUser(ITypeLib* library, const std::wstring& modulePath)
{
    TLIBATTR* attributes = nullptr;
    HRESULT hr = S_OK;
    WIN_RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    const TLIBATTR attr = *attributes;
    library->ReleaseTLibAttr(attributes);
    Bstr name;
    Bstr doc;
    (void)library->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr);
    const std::wstring versionKey = TypeLibKey(attr.guid) + L"\\" + VersionText(attr.wMajorVerNum, attr.wMinorVerNum);
    const std::wstring folder = modulePath.substr(0, modulePath.find_last_of(L"\\/") + 1);
    const wchar_t* platform = attr.syskind == SYS_WIN64 ? L"win64" : L"win32";
    const struct
    {
        std::wstring path;
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {versionKey, nullptr, doc.IsValid() && *doc.Get() ? doc.Get() : (name.IsValid() ? name.Get() : L"")},
        {versionKey + Format(L"\\%lx\\", attr.lcid) + platform, nullptr, modulePath},
        {versionKey + L"\\FLAGS", nullptr, Format(L"%u", attr.wLibFlags)},
        {versionKey + L"\\HELPDIR", nullptr, folder},
    };
    for (const auto& value : values)
    {
        hr = WriteKey(value.path, value.name, value.value);
        if (FAILED(hr))
        {
            return hr;
        }
    }
    const std::wstring typeLib = GuidToString(attr.guid);
    const std::wstring version = VersionText(attr.wMajorVerNum, attr.wMinorVerNum);
    return ForEachMarshalledInterface(
        library, [&](const GUID& iid, const std::wstring& interfaceName, const wchar_t* proxy) {
            const std::wstring key = std::wstring(ClassesPath()) + L"\\Interface\\" + GuidToString(iid);
            const struct
            {
                std::wstring path;
                const wchar_t* name;
                std::wstring value;
            } rows[] = {
                {key, nullptr, interfaceName},
                {key + L"\\ProxyStubClsid", nullptr, proxy},
                {key + L"\\ProxyStubClsid32", nullptr, proxy},
                {key + L"\\TypeLib", nullptr, typeLib},
                {key + L"\\TypeLib", L"Version", version},
            };
            for (const auto& row : rows)
            {
                const HRESULT written = WriteKey(row.path, row.name, row.value);
                if (FAILED(written))
                {
                    return written;
                }
            }
            return S_OK;
        });
}

// Removes the keys RegisterTypeLibraryForUser wrote; keys that are not there count as removed.
HRESULT UnregisterTypeLibraryForUser(const std::wstring& modulePath, const GUID& typeLibId, WORD major, WORD minor)
{
    ComPtr<ITypeLib> library;
    if (SUCCEEDED(::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Put())))
    {
        const HRESULT hr =
            ForEachMarshalledInterface(library.Get(), [](const GUID& iid, const std::wstring&, const wchar_t*) {
                const std::wstring key = std::wstring(ClassesPath()) + L"\\Interface\\" + GuidToString(iid);
                return DeleteRegTree(ClassesRoot(), key) ? S_OK
                                                         : LastRegistryError("DeleteRegTree(ClassesRoot(), key)", key);
            });
        if (FAILED(hr))
        {
            return hr;
        }
    }
    const std::wstring libraryKey = TypeLibKey(typeLibId);
    const std::wstring versionKey = libraryKey + L"\\" + VersionText(major, minor);
    if (!DeleteRegTree(ClassesRoot(), versionKey))
    {
        return LastRegistryError("DeleteRegTree(ClassesRoot(), versionKey)", versionKey);
    }
    // The library's own key goes when no other version is left in it.
    DWORD versions = 0;
    if (const RegKey key = OpenRegKey(ClassesRoot(), libraryKey))
    {
        if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &versions, nullptr, nullptr, nullptr, nullptr,
                nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            versions == 0)
        {
            (void)DeleteRegTree(ClassesRoot(), libraryKey);
        }
    }
    return S_OK;
}
}  // namespace

HRESULT RegisterTypeLibraryOf(const std::wstring& modulePath) noexcept
{
    return ComBoundary([&] {
        ComPtr<ITypeLib> library;
        WIN_RETURN_IF_FAILED(::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Put()));
        if (s_perUser)
        {
            return RegisterTypeLibraryForUser(library.Get(), modulePath);
        }
        std::wstring path = modulePath;
        WIN_RETURN_IF_FAILED(::RegisterTypeLib(library.Get(), path.data(), nullptr));
        return S_OK;
    });
}

HRESULT UnregisterTypeLibrary(const std::wstring& modulePath, const GUID& typeLibId, WORD major, WORD minor) noexcept
{
    return ComBoundary([&] {
        if (s_perUser)
        {
            return UnregisterTypeLibraryForUser(modulePath, typeLibId, major, minor);
        }
        const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
        const HRESULT hr = ::UnRegisterTypeLib(typeLibId, major, minor, LOCALE_NEUTRAL, kind);
        // A library that is not registered (removed by an earlier call, or never written) counts as removed, so
        // the classes are unregistered all the same.
        if (FAILED(hr) && !OpenRegKey(ClassesRoot(), TypeLibKey(typeLibId) + L"\\" + VersionText(major, minor)))
        {
            return S_OK;
        }
        return WIN_LOG_IF_FAILED(hr);
    });
}

}  // namespace win
