#include "Core/AnyThreadHost.h"

#include "toolbar/HostToolbar.h"

HRESULT AnyThreadHost::Publish(IDispatch* host) noexcept
{
    Withdraw();
    m_uiThread = ::GetCurrentThreadId();
    if (!host)
    {
        return E_POINTER;
    }
    if (!m_table)
    {
        const HRESULT hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
            IID_IGlobalInterfaceTable, m_table.PutVoid());
        if (FAILED(hr))
        {
            return hr;
        }
    }
    DWORD cookie = 0;
    const HRESULT hr = m_table->RegisterInterfaceInGlobal(host, IID_IDispatch, &cookie);
    if (SUCCEEDED(hr))
    {
        m_cookie = cookie;
    }
    return hr;
}

void AnyThreadHost::Withdraw() noexcept
{
    const DWORD cookie = m_cookie.exchange(0);
    if (cookie && m_table)
    {
        m_table->RevokeInterfaceFromGlobal(cookie);
    }
}

bool AnyThreadHost::OnUiThread() const noexcept
{
    const DWORD uiThread = m_uiThread.load();
    return uiThread == 0 || uiThread == ::GetCurrentThreadId();
}

win::ComPtr<IDispatch> AnyThreadHost::HostProxy() const noexcept
{
    win::ComPtr<IDispatch> proxy;
    const DWORD cookie = m_cookie.load();
    if (cookie && m_table)
    {
        (void)m_table->GetInterfaceFromGlobal(cookie, IID_IDispatch, proxy.PutVoid());
    }
    return proxy;
}

std::wstring AnyThreadHost::GetHostString(const std::wstring& key, const std::wstring& defaultValue)
{
    if (OnUiThread())
    {
        return m_uiSide.GetHostString(key, defaultValue);
    }
    HostToolbar host;
    const auto proxy = HostProxy();
    host.Attach(proxy.Get());
    return host.GetString(key, defaultValue);
}

std::wstring AnyThreadHost::ExpandHostMacros(const std::wstring& text)
{
    if (OnUiThread())
    {
        return m_uiSide.ExpandHostMacros(text);
    }
    HostToolbar host;
    const auto proxy = HostProxy();
    host.Attach(proxy.Get());
    return host.ExpandMacros(text);
}
