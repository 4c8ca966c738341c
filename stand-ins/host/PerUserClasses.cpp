#include "PerUserClasses.h"

#include "win/ComPtr.h"
#include "win/Module.h"
#include "win/Registry.h"

namespace kelhost
{
namespace
{
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

const std::wstring kUserClasses = L"Software\\Classes\\";

bool ReadUserClassValue(const std::wstring& path, std::wstring& value)
{
    const win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, kUserClasses + path);
    return key && win::ReadRegString(key.Get(), nullptr, value) && !value.empty();
}
}  // namespace

PerUserClasses::~PerUserClasses()
{
    for (auto& module : m_modules)
    {
        const auto canUnload = win::GetProc<CanUnloadNow>(module.Get(), "DllCanUnloadNow");
        if (canUnload && canUnload() != S_OK)
        {
            (void)module.Release();  // still in use: it stays loaded until the process ends
        }
    }
}

HRESULT PerUserClasses::ClassOfProgId(const std::wstring& progId, CLSID& clsid) noexcept
{
    try
    {
        std::wstring text;
        if (progId.empty() || !ReadUserClassValue(progId + L"\\CLSID", text))
        {
            return REGDB_E_CLASSNOTREG;
        }
        return SUCCEEDED(::CLSIDFromString(text.c_str(), &clsid)) ? S_OK : REGDB_E_CLASSNOTREG;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT PerUserClasses::Create(const CLSID& clsid, REFIID iid, void** object, std::wstring& module) noexcept
{
    if (!object)
    {
        return E_POINTER;
    }
    *object = nullptr;
    try
    {
        wchar_t classText[40] = {};
        ::StringFromGUID2(clsid, classText, 40);
        std::wstring path;
        if (!ReadUserClassValue(std::wstring(L"CLSID\\") + classText + L"\\InprocServer32", path))
        {
            return REGDB_E_CLASSNOTREG;
        }
        module = path;
        win::ModuleHandle loaded(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (!loaded)
        {
            const DWORD error = ::GetLastError();
            return HRESULT_FROM_WIN32(error ? error : ERROR_MOD_NOT_FOUND);
        }
        const auto getClassObject = win::GetProc<GetClassObject>(loaded.Get(), "DllGetClassObject");
        if (!getClassObject)
        {
            return CO_E_ERRORINDLL;
        }
        win::ComPtr<IClassFactory> factory;
        HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
        if (SUCCEEDED(hr))
        {
            hr = factory->CreateInstance(nullptr, iid, object);
        }
        factory.Reset();
        m_modules.push_back(std::move(loaded));
        return hr;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

std::wstring ModuleOfObject(IUnknown* object)
{
    HMODULE module = nullptr;
    const auto* table = object ? *reinterpret_cast<void* const*>(object) : nullptr;
    if (!table ||
        !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<const wchar_t*>(table), &module))
    {
        return L"";
    }
    return win::ModuleFileName(module);
}

}  // namespace kelhost
