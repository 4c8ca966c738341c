#include "support/FakeDispatch.h"

#include "win/Strings.h"

namespace testing_support
{

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out)
{
    if (!out)
    {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch)
    {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count)
{
    if (count)
    {
        *count = 0;
    }
    return E_NOTIMPL;
}

HRESULT FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
    {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
    UINT*)
{
    Call call{id, flags, {}};
    std::vector<VARIANT*> arguments;
    if (params)
    {
        for (UINT i = params->cArgs; i-- > 0;)
        {
            VARIANT* v = &params->rgvarg[i];
            arguments.push_back(v);
            if (v->vt == VT_BSTR)
            {
                call.arguments.emplace_back(v->bstrVal ? v->bstrVal : L"", ::SysStringLen(v->bstrVal));
            }
            else if (v->vt == VT_I4)
            {
                call.arguments.push_back(std::to_wstring(v->lVal));
            }
            else
            {
                call.arguments.push_back(win::Format(L"<vt %u>", static_cast<unsigned>(v->vt)));
            }
        }
    }
    m_calls.push_back(std::move(call));
    if (result)
    {
        ::VariantInit(result);
    }
    return m_handler ? m_handler(id, arguments, result) : DISP_E_MEMBERNOTFOUND;
}

HRESULT SetTextResult(VARIANT* result, const std::wstring& text)
{
    if (!result)
    {
        return S_OK;
    }
    result->vt = VT_BSTR;
    result->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return result->bstrVal ? S_OK : E_OUTOFMEMORY;
}

} // namespace testing_support
