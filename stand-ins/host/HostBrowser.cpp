#include "HostBrowser.h"

#include "win/Strings.h"
#include "win/Variant.h"

#include <exdispid.h>
#include <olectl.h>

namespace kelhost
{
namespace
{
// How a Navigate flags argument reads in the report.
std::wstring DescribeFlags(const VARIANT* flags)
{
    if (!flags)
    {
        return L"none";
    }
    const VARIANT* value = flags->vt == (VT_VARIANT | VT_BYREF) && flags->pvarVal ? flags->pvarVal : flags;
    if (value->vt == VT_EMPTY || value->vt == VT_ERROR)
    {
        return L"empty";
    }
    win::Variant number;
    if (SUCCEEDED(::VariantChangeType(number.Put(), const_cast<VARIANT*>(value), 0, VT_I4)))
    {
        return win::Format(L"%ld", static_cast<long>(number.Get()->lVal));
    }
    return win::Format(L"vt%u", static_cast<unsigned>(value->vt));
}
}  // namespace

HostBrowser* HostBrowser::Create(HWND tabWindow, NavigateHandler onNavigate)
{
    return new HostBrowser(tabWindow, std::move(onNavigate));
}

HostBrowser::HostBrowser(HWND tabWindow, NavigateHandler onNavigate) noexcept
    : m_tabWindow(tabWindow), m_onNavigate(std::move(onNavigate))
{
}

HostBrowser::~HostBrowser() = default;

void HostBrowser::Close() noexcept
{
    m_tabWindow = nullptr;
    m_onNavigate = nullptr;
    auto sinks = std::move(m_sinks);
    m_sinks.clear();
    // `sinks` goes here, after the browser no longer lists them.
}

void HostBrowser::FireNavigateComplete(const std::wstring& url) noexcept
{
    // A sink may unadvise (or close the tab) from inside the event: work on a copy.
    std::vector<win::ComPtr<IDispatch>> sinks;
    for (const auto& entry : m_sinks)
    {
        sinks.push_back(entry.second);
    }
    win::ComPtr<HostBrowser> self(this);
    for (const auto& sink : sinks)
    {
        win::Variant browser(static_cast<IDispatch*>(static_cast<IWebBrowser2*>(this)));
        win::Variant location(url);
        VARIANTARG args[2];
        // Arguments go in reverse: rgvarg[1] is pDisp, rgvarg[0] the URL by reference.
        args[1] = *browser.Get();
        args[0].vt = VT_VARIANT | VT_BYREF;
        args[0].pvarVal = location.Get();
        DISPPARAMS params{args, nullptr, 2, 0};
        win::Variant result;
        (void)sink->Invoke(DISPID_NAVIGATECOMPLETE2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
            result.Put(), nullptr, nullptr);
    }
}

HRESULT HostBrowser::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
    {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser || iid == IID_IWebBrowserApp ||
        iid == IID_IWebBrowser2)
    {
        *object = static_cast<IWebBrowser2*>(this);
    }
    else if (iid == IID_IConnectionPointContainer)
    {
        *object = static_cast<IConnectionPointContainer*>(this);
    }
    else
    {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG HostBrowser::AddRef() noexcept
{
    return ++m_references;
}

ULONG HostBrowser::Release() noexcept
{
    const ULONG left = --m_references;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

HRESULT HostBrowser::GetTypeInfoCount(UINT* count) noexcept
{
    if (!count)
    {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT HostBrowser::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept
{
    if (info)
    {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT HostBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept
{
    return E_NOTIMPL;
}

HRESULT HostBrowser::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept
{
    return E_NOTIMPL;
}

HRESULT HostBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT*, VARIANT*, VARIANT*) noexcept
{
    if (::SysStringLen(url) == 0)
    {
        return E_INVALIDARG;
    }
    try
    {
        Navigation navigation{std::wstring(url, ::SysStringLen(url)), DescribeFlags(flags)};
        m_navigations.push_back(navigation);
        if (m_onNavigate)
        {
            m_onNavigate(navigation);
        }
        return m_refusal;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT HostBrowser::get_LocationURL(BSTR* url) noexcept
{
    if (!url)
    {
        return E_POINTER;
    }
    const std::wstring last = m_navigations.empty() ? std::wstring() : m_navigations.back().url;
    *url = ::SysAllocStringLen(last.data(), static_cast<UINT>(last.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
}

HRESULT HostBrowser::get_HWND(SHANDLE_PTR* window) noexcept
{
    if (!window)
    {
        return E_POINTER;
    }
    *window = reinterpret_cast<SHANDLE_PTR>(m_tabWindow);
    return m_tabWindow ? S_OK : E_FAIL;
}

HRESULT HostBrowser::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept
{
    if (points)
    {
        *points = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT HostBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept
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
    *point = &m_eventPoint;
    AddRef();
    return S_OK;
}

HRESULT HostBrowser::EventPoint::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
    {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint)
    {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT HostBrowser::EventPoint::GetConnectionInterface(IID* iid) noexcept
{
    if (!iid)
    {
        return E_POINTER;
    }
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT HostBrowser::EventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept
{
    if (!container)
    {
        return E_POINTER;
    }
    *container = static_cast<IConnectionPointContainer*>(&m_owner);
    m_owner.AddRef();
    return S_OK;
}

HRESULT HostBrowser::EventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept
{
    if (!cookie)
    {
        return E_POINTER;
    }
    *cookie = 0;
    if (!sink)
    {
        return E_POINTER;
    }
    win::ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, events.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, events.PutVoid())))
    {
        return CONNECT_E_CANNOTCONNECT;
    }
    try
    {
        m_owner.m_sinks.emplace_back(m_owner.m_nextCookie, std::move(events));
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    *cookie = m_owner.m_nextCookie++;
    return S_OK;
}

HRESULT HostBrowser::EventPoint::Unadvise(DWORD cookie) noexcept
{
    auto& sinks = m_owner.m_sinks;
    for (auto it = sinks.begin(); it != sinks.end(); ++it)
    {
        if (it->first == cookie)
        {
            const win::ComPtr<IDispatch> sink = std::move(it->second);
            sinks.erase(it);
            return S_OK;  // the sink is released after the list no longer holds it
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT HostBrowser::EventPoint::EnumConnections(IEnumConnections** connections) noexcept
{
    if (connections)
    {
        *connections = nullptr;
    }
    return E_NOTIMPL;
}

}  // namespace kelhost
