#include "DispatchArgs.h"

#include "win/Variant.h"

namespace kelhost
{

HRESULT CheckMethodCall(WORD flags, const DISPPARAMS* params, UINT count) noexcept
{
    if (!(flags & DISPATCH_METHOD))
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    const UINT given = params ? params->cArgs : 0;
    if (params && params->cNamedArgs != 0)
    {
        return DISP_E_NONAMEDARGS;
    }
    if (given != count || (count != 0 && !params->rgvarg))
    {
        return DISP_E_BADPARAMCOUNT;
    }
    return S_OK;
}

HRESULT GetTextArgument(const DISPPARAMS& params, UINT position, std::wstring& value, UINT* argErr)
{
    const UINT index = params.cArgs - 1 - position;
    const VARIANT* argument = &params.rgvarg[index];
    if (argument->vt == (VT_VARIANT | VT_BYREF))
    {
        argument = argument->pvarVal;
    }
    if (argument && argument->vt == VT_BSTR)
    {
        value.assign(argument->bstrVal ? argument->bstrVal : L"", ::SysStringLen(argument->bstrVal));
        return S_OK;
    }
    if (argument && argument->vt == (VT_BSTR | VT_BYREF) && argument->pbstrVal)
    {
        const BSTR text = *argument->pbstrVal;
        value.assign(text ? text : L"", ::SysStringLen(text));
        return S_OK;
    }
    win::Variant converted;
    const VARTYPE type = argument ? (argument->vt & ~VT_BYREF) : VT_NULL;
    const bool convertible = argument && !(argument->vt & VT_ARRAY) && type != VT_NULL && type != VT_DISPATCH &&
        type != VT_UNKNOWN && type != VT_VARIANT && !((argument->vt & VT_BYREF) && argument->byref == nullptr);
    if (!convertible || FAILED(::VariantChangeType(converted.Put(), const_cast<VARIANT*>(argument), 0, VT_BSTR)))
    {
        if (argErr)
        {
            *argErr = index;
        }
        return DISP_E_TYPEMISMATCH;
    }
    const BSTR text = converted.Get()->bstrVal;
    value.assign(text ? text : L"", ::SysStringLen(text));
    return S_OK;
}

}  // namespace kelhost
