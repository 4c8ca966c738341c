#include "toolbar/HostToolbar.h"

#include "toolbar/HostToolbarInterface.h"
#include "win/Bstr.h"
#include "win/Variant.h"

#include <vector>

namespace toolbar
{

void HostToolbar::Attach(IDispatch* dispatch, AutoRelease autoRelease) noexcept
{
    Release();
    m_dispatch = dispatch;
    if (autoRelease == AutoRelease::On)
    {
        m_reference = dispatch;
    }
}

void HostToolbar::Release() noexcept
{
    m_dispatch = nullptr;
    m_reference.Reset();
}

HRESULT HostToolbar::InvokeText(DISPID id, const std::wstring* arguments, unsigned count, std::wstring& result) const
{
    result.clear();
    if (!m_dispatch)
    {
        return E_POINTER;
    }
    // DISPPARAMS take the arguments last first.
    std::vector<VARIANT> args(count);
    std::vector<win::Bstr> texts;
    texts.reserve(count);
    for (unsigned i = 0; i < count; ++i)
    {
        texts.emplace_back(arguments[i]);
        if (!texts.back().IsValid())
        {
            return E_OUTOFMEMORY;
        }
        VARIANT& v = args[count - 1 - i];
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = texts.back().Get();
    }
    DISPPARAMS params{count ? args.data() : nullptr, nullptr, count, 0};
    win::Variant answer;
    win::ExcepInfo exception;
    UINT badArgument = 0;
    HRESULT hr = m_dispatch->Invoke(
        id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.Put(), exception.Put(), &badArgument);
    if (FAILED(hr))
    {
        return hr;
    }
    if (answer.Type() != VT_BSTR)
    {
        hr = ::VariantChangeType(answer.Get(), answer.Get(), 0, VT_BSTR);
        if (FAILED(hr))
        {
            return hr;
        }
    }
    const BSTR text = answer.Get()->bstrVal;
    result.assign(text ? text : L"", ::SysStringLen(text));
    return S_OK;
}

std::wstring HostToolbar::GetString(const std::wstring& key, const std::wstring& defaultValue) const
{
    const std::wstring arguments[] = {key, defaultValue};
    std::wstring result;
    (void)InvokeText(host::kDispidGetString, arguments, 2, result);
    return result;
}

std::wstring HostToolbar::ExpandMacros(const std::wstring& text) const
{
    std::wstring result;
    (void)InvokeText(host::kDispidExpandMacros, &text, 1, result);
    return result;
}

HWND HostToolbar::GetToolbarWindow() const noexcept
{
    if (!m_dispatch)
    {
        return nullptr;
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    win::Variant answer;
    if (FAILED(m_dispatch->Invoke(host::kDispidToolbarWindow, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
            answer.Put(), nullptr, nullptr)) ||
        FAILED(::VariantChangeType(answer.Get(), answer.Get(), 0, VT_I4)))
    {
        return nullptr;
    }
    // Window handles carry 32 significant bits and are sign-extended on 64-bit Windows.
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(answer.Get()->lVal));
}

}  // namespace toolbar
