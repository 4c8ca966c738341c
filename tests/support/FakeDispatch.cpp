#include "support/FakeDispatch.h"

namespace testing_support
{

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out)
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    if (!*out)
    {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*)
{
    ++m_calls;
    std::vector<VARIANT*> arguments;
    for (UINT i = params ? params->cArgs : 0; i-- > 0;)
    {
        arguments.push_back(&params->rgvarg[i]);
    }
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

}  // namespace testing_support
