#include "support/FakeBrowser.h"

#include <olectl.h>

namespace testing_support
{

HRESULT FakeBrowser::QueryInterface(REFIID iid, void** out)
{
    if (!out)
    {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser2 || iid == IID_IWebBrowserApp ||
        iid == IID_IWebBrowser)
    {
        *out = static_cast<IWebBrowser2*>(this);
    }
    else if (iid == IID_IConnectionPointContainer)
    {
        *out = static_cast<IConnectionPointContainer*>(this);
    }
    else
    {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT FakeBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT*, VARIANT*, VARIANT*)
{
    Navigation navigation{url ? url : L"", VT_EMPTY, 0};
    if (flags)
    {
        navigation.flagsType = flags->vt;
        navigation.flags = flags->vt == VT_I4 ? flags->lVal : 0;
    }
    m_navigations.push_back(navigation);
    return S_OK;
}

HRESULT FakeBrowser::get_HWND(SHANDLE_PTR* window)
{
    if (!window)
    {
        return E_POINTER;
    }
    *window = reinterpret_cast<SHANDLE_PTR>(m_window);
    return m_window ? S_OK : E_FAIL;
}

HRESULT FakeBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
    {
        return E_POINTER;
    }
    *point = nullptr;
    if (iid != DIID_DWebBrowserEvents2)
    {
        return CONNECT_E_NOCONNECTION;
    }
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT FakeBrowser::GetConnectionInterface(IID* iid)
{
    if (!iid)
    {
        return E_POINTER;
    }
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT FakeBrowser::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
    {
        return E_POINTER;
    }
    *container = this;
    AddRef();
    return S_OK;
}

HRESULT FakeBrowser::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!sink || !cookie)
    {
        return E_POINTER;
    }
    IDispatch* events = nullptr;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&events))))
    {
        return CONNECT_E_CANNOTCONNECT;
    }
    ++m_advises;
    m_sinks.emplace_back(++m_lastCookie, events);
    *cookie = m_lastCookie;
    return S_OK;
}

HRESULT FakeBrowser::Unadvise(DWORD cookie)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it)
    {
        if (it->first == cookie)
        {
            it->second->Release();
            m_sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

std::vector<HRESULT> FakeBrowser::FireEvent(DISPID id)
{
    std::vector<HRESULT> results;
    const auto sinks = m_sinks;
    for (const auto& [cookie, sink] : sinks)
    {
        DISPPARAMS none{};
        VARIANT result;
        ::VariantInit(&result);
        results.push_back(sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
            nullptr));
        ::VariantClear(&result);
    }
    return results;
}

} // namespace testing_support
