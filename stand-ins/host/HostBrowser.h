#pragma once
// HostBrowser: the browser object of one tab, as much of it as an add-on uses. IWebBrowser2::Navigate
// records the URL and the flags and reports them; get_HWND gives the tab window; get_LocationURL the last
// URL navigated to; every other browser method answers E_NOTIMPL. Its DWebBrowserEvents2 connection point
// takes sinks (Advise/Unadvise) and the host fires NavigateComplete2 through it after a navigation.
// The connection point is part of this object (its references are the browser's). Reference counted; UI
// thread only. Close drops every sink and the link to the tab, so a control that keeps a reference after the
// tab closed reaches nothing.

#include "win/ComPtr.h"

#include <exdisp.h>
#include <ocidl.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelhost
{

struct Navigation
{
    std::wstring url;
    std::wstring flags;  // "none" (no argument), "empty", or the number given
};

class HostBrowser final : public IWebBrowser2, public IConnectionPointContainer
{
public:
    using NavigateHandler = std::function<void(const Navigation&)>;

    // Returns the object with one reference for the caller.
    [[nodiscard]] static HostBrowser* Create(HWND tabWindow, NavigateHandler onNavigate);

    [[nodiscard]] const std::vector<Navigation>& Navigations() const noexcept { return m_navigations; }
    [[nodiscard]] size_t SinkCount() const noexcept { return m_sinks.size(); }

    // Calls NavigateComplete2(browser, url) on every sink connected now; S_OK results are not required.
    void FireNavigateComplete(const std::wstring& url) noexcept;
    // From now on every navigation, recorded and handed to the handler as before, fails with `result` (S_OK: none
    // fails), as a browser that refuses to go there.
    void RefuseNavigations(HRESULT result) noexcept { m_refusal = result; }
    void Close() noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDispatch: no type information; the browser is used through its vtable only.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(
        DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override;

    // IWebBrowser
    HRESULT STDMETHODCALLTYPE Navigate(
        BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers) noexcept override;
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) noexcept override;
    // IWebBrowserApp
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* window) noexcept override;

#define KELHOST_NOT_IMPLEMENTED(name, ...)                                                                             \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) noexcept override                                                      \
    {                                                                                                                  \
        return E_NOTIMPL;                                                                                              \
    }
    KELHOST_NOT_IMPLEMENTED(GoBack)
    KELHOST_NOT_IMPLEMENTED(GoForward)
    KELHOST_NOT_IMPLEMENTED(GoHome)
    KELHOST_NOT_IMPLEMENTED(GoSearch)
    KELHOST_NOT_IMPLEMENTED(Refresh)
    KELHOST_NOT_IMPLEMENTED(Refresh2, VARIANT*)
    KELHOST_NOT_IMPLEMENTED(Stop)
    KELHOST_NOT_IMPLEMENTED(get_Application, IDispatch**)
    KELHOST_NOT_IMPLEMENTED(get_Parent, IDispatch**)
    KELHOST_NOT_IMPLEMENTED(get_Container, IDispatch**)
    KELHOST_NOT_IMPLEMENTED(get_Document, IDispatch**)
    KELHOST_NOT_IMPLEMENTED(get_TopLevelContainer, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(get_Type, BSTR*)
    KELHOST_NOT_IMPLEMENTED(get_Left, LONG*)
    KELHOST_NOT_IMPLEMENTED(put_Left, LONG)
    KELHOST_NOT_IMPLEMENTED(get_Top, LONG*)
    KELHOST_NOT_IMPLEMENTED(put_Top, LONG)
    KELHOST_NOT_IMPLEMENTED(get_Width, LONG*)
    KELHOST_NOT_IMPLEMENTED(put_Width, LONG)
    KELHOST_NOT_IMPLEMENTED(get_Height, LONG*)
    KELHOST_NOT_IMPLEMENTED(put_Height, LONG)
    KELHOST_NOT_IMPLEMENTED(get_LocationName, BSTR*)
    KELHOST_NOT_IMPLEMENTED(get_Busy, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(Quit)
    KELHOST_NOT_IMPLEMENTED(ClientToWindow, int*, int*)
    KELHOST_NOT_IMPLEMENTED(PutProperty, BSTR, VARIANT)
    KELHOST_NOT_IMPLEMENTED(GetProperty, BSTR, VARIANT*)
    KELHOST_NOT_IMPLEMENTED(get_Name, BSTR*)
    KELHOST_NOT_IMPLEMENTED(get_FullName, BSTR*)
    KELHOST_NOT_IMPLEMENTED(get_Path, BSTR*)
    KELHOST_NOT_IMPLEMENTED(get_Visible, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_Visible, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_StatusBar, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_StatusBar, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_StatusText, BSTR*)
    KELHOST_NOT_IMPLEMENTED(put_StatusText, BSTR)
    KELHOST_NOT_IMPLEMENTED(get_ToolBar, int*)
    KELHOST_NOT_IMPLEMENTED(put_ToolBar, int)
    KELHOST_NOT_IMPLEMENTED(get_MenuBar, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_MenuBar, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_FullScreen, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_FullScreen, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(Navigate2, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    KELHOST_NOT_IMPLEMENTED(QueryStatusWB, OLECMDID, OLECMDF*)
    KELHOST_NOT_IMPLEMENTED(ExecWB, OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*)
    KELHOST_NOT_IMPLEMENTED(ShowBrowserBar, VARIANT*, VARIANT*, VARIANT*)
    KELHOST_NOT_IMPLEMENTED(get_ReadyState, READYSTATE*)
    KELHOST_NOT_IMPLEMENTED(get_Offline, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_Offline, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_Silent, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_Silent, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_RegisterAsBrowser, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_RegisterAsBrowser, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_RegisterAsDropTarget, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_RegisterAsDropTarget, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_TheaterMode, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_TheaterMode, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_AddressBar, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_AddressBar, VARIANT_BOOL)
    KELHOST_NOT_IMPLEMENTED(get_Resizable, VARIANT_BOOL*)
    KELHOST_NOT_IMPLEMENTED(put_Resizable, VARIANT_BOOL)
#undef KELHOST_NOT_IMPLEMENTED

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override;

private:
    // The DWebBrowserEvents2 point; lives inside the browser and counts on its references.
    class EventPoint final : public IConnectionPoint
    {
    public:
        explicit EventPoint(HostBrowser& owner) noexcept : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return m_owner.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return m_owner.Release(); }
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
        HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
        HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) noexcept override;

    private:
        HostBrowser& m_owner;
    };

    HostBrowser(HWND tabWindow, NavigateHandler onNavigate) noexcept;
    ~HostBrowser();

    std::atomic<ULONG> m_references{1};
    HWND m_tabWindow;
    NavigateHandler m_onNavigate;
    EventPoint m_eventPoint{*this};
    std::vector<std::pair<DWORD, win::ComPtr<IDispatch>>> m_sinks;
    DWORD m_nextCookie = 1;
    std::vector<Navigation> m_navigations;
    HRESULT m_refusal = S_OK;
};

}  // namespace kelhost
