#include "HostDispatch.h"

#include "DispatchArgs.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/ComPtr.h"

#include <new>

namespace kelhost
{
namespace
{
HRESULT ReturnText(const std::wstring& text, VARIANT* result) noexcept
{
    if (!result)
    {
        return S_OK;
    }
    const BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value)
    {
        return E_OUTOFMEMORY;
    }
    result->vt = VT_BSTR;
    result->bstrVal = value;
    return S_OK;
}
}  // namespace

HostDispatch* HostDispatch::Create(
    std::shared_ptr<const HostSettings> settings, std::shared_ptr<const MacroValues> macros, HWND toolbar)
{
    return new HostDispatch(std::move(settings), std::move(macros), toolbar);
}

HostDispatch::HostDispatch(
    std::shared_ptr<const HostSettings> settings, std::shared_ptr<const MacroValues> macros, HWND toolbar) noexcept
    : m_settings(std::move(settings)), m_macros(std::move(macros)), m_toolbar(toolbar)
{
}

HRESULT HostDispatch::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
    {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
    {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG HostDispatch::AddRef() noexcept
{
    return ++m_references;
}

ULONG HostDispatch::Release() noexcept
{
    const ULONG left = --m_references;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

HRESULT HostDispatch::GetTypeInfoCount(UINT* count) noexcept
{
    if (!count)
    {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT HostDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept
{
    if (info)
    {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT HostDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) noexcept
{
    if (!ids)
    {
        return E_POINTER;
    }
    for (UINT i = 0; i < count; ++i)
    {
        ids[i] = DISPID_UNKNOWN;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT HostDispatch::Invoke(
    DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT* argErr) noexcept
{
    if (iid != IID_NULL)
    {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (result)
    {
        ::VariantInit(result);
    }
    try
    {
        return InvokeChecked(id, flags, params, result, argErr);
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT HostDispatch::InvokeChecked(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr)
{
    switch (id)
    {
    case host::kDispidGetString:
    {
        HRESULT hr = CheckMethodCall(flags, params, 2);
        std::wstring key;
        std::wstring defaultValue;
        if (SUCCEEDED(hr))
        {
            hr = GetTextArgument(*params, 0, key, argErr);
        }
        if (SUCCEEDED(hr))
        {
            hr = GetTextArgument(*params, 1, defaultValue, argErr);
        }
        if (SUCCEEDED(hr) && m_onLookup)
        {
            // The hook may close the tab, which lets this object and the hook go.
            const win::ComPtr<HostDispatch> self(this);
            const auto hook = m_onLookup;
            hook(key);
        }
        return SUCCEEDED(hr) ? ReturnText(m_settings->Lookup(key, defaultValue), result) : hr;
    }
    case host::kDispidExpandMacros:
    {
        HRESULT hr = CheckMethodCall(flags, params, 1);
        std::wstring text;
        if (SUCCEEDED(hr))
        {
            hr = GetTextArgument(*params, 0, text, argErr);
        }
        return SUCCEEDED(hr) ? ReturnText(ExpandMacros(text, *m_macros), result) : hr;
    }
    case host::kDispidToolbarWindow:
    {
        const HRESULT hr = CheckMethodCall(flags, params, 0);
        if (SUCCEEDED(hr) && result)
        {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(m_toolbar));
        }
        return hr;
    }
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace kelhost
