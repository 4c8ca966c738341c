// The tab's browser object: navigation records and the DWebBrowserEvents2 connection point.

#include "HostBrowser.h"

#include "win/Bstr.h"
#include "win/ComPtr.h"

#include <exdispid.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>

namespace
{

// An event sink that records the events it gets and can run something from inside one.
class RecordingSink final : public IDispatch
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || (answersEventInterface && iid == DIID_DWebBrowserEvents2))
        {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
        UINT*) noexcept override
    {
        ids.push_back(id);
        if (params->cArgs == 2 && params->rgvarg[1].vt == VT_DISPATCH &&
            params->rgvarg[0].vt == (VT_VARIANT | VT_BYREF) && params->rgvarg[0].pvarVal->vt == VT_BSTR)
        {
            urls.emplace_back(params->rgvarg[0].pvarVal->bstrVal);
            browsers.push_back(params->rgvarg[1].pdispVal);
        }
        if (during)
        {
            during();
        }
        return S_OK;
    }

    ULONG references = 0;  // the test owns the object; only the browser's references are counted
    bool answersEventInterface = true;
    std::vector<DISPID> ids;
    std::vector<std::wstring> urls;
    std::vector<IDispatch*> browsers;
    std::function<void()> during;
};

class HostBrowserTest : public ::testing::Test
{
protected:
    HostBrowserTest()
    {
        m_browser = win::ComPtr<kelhost::HostBrowser>::Attach(kelhost::HostBrowser::Create(
            reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x5678)),
            [this](const kelhost::Navigation& navigation) { m_reported.push_back(navigation.url); }));
    }

    win::ComPtr<IConnectionPoint> Point()
    {
        win::ComPtr<IConnectionPointContainer> container;
        EXPECT_EQ(S_OK, m_browser.As(container));
        win::ComPtr<IConnectionPoint> point;
        EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()));
        return point;
    }

    win::ComPtr<kelhost::HostBrowser> m_browser;
    std::vector<std::wstring> m_reported;
};

TEST_F(HostBrowserTest, NavigateRecordsUrlAndFlags)
{
    win::ComPtr<IWebBrowser2> browser;
    ASSERT_EQ(S_OK, m_browser.As(browser));
    const win::Bstr url(L"http://127.0.0.1/page");
    VARIANT newTab;
    newTab.vt = VT_I4;
    newTab.lVal = 0x800;
    VARIANT empty;
    empty.vt = VT_EMPTY;
    EXPECT_EQ(S_OK, browser->Navigate(url.Get(), &newTab, &empty, &empty, &empty));
    EXPECT_EQ(S_OK, browser->Navigate(url.Get(), &empty, nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, browser->Navigate(url.Get(), nullptr, nullptr, nullptr, nullptr));
    const win::Bstr blank(L"");
    EXPECT_EQ(E_INVALIDARG, browser->Navigate(blank.Get(), nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, browser->Navigate(nullptr, nullptr, nullptr, nullptr, nullptr));

    const auto& navigations = m_browser->Navigations();
    ASSERT_EQ(3u, navigations.size());
    EXPECT_EQ(L"2048", navigations[0].flags);
    EXPECT_EQ(L"empty", navigations[1].flags);
    EXPECT_EQ(L"none", navigations[2].flags);
    EXPECT_EQ(3u, m_reported.size());

    win::Bstr location;
    ASSERT_EQ(S_OK, browser->get_LocationURL(location.Put()));
    EXPECT_EQ(L"http://127.0.0.1/page", location.View());
    SHANDLE_PTR window = 0;
    ASSERT_EQ(S_OK, browser->get_HWND(&window));
    EXPECT_EQ(0x5678, window);
    EXPECT_EQ(E_NOTIMPL, browser->GoBack());
}

TEST_F(HostBrowserTest, AdvisedSinksGetNavigateCompleteUntilUnadvised)
{
    RecordingSink first;
    RecordingSink second;
    second.answersEventInterface = false;  // a plain IDispatch sink is taken too
    win::ComPtr<IConnectionPoint> point = Point();
    DWORD firstCookie = 0;
    DWORD secondCookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&first, &firstCookie));
    ASSERT_EQ(S_OK, point->Advise(&second, &secondCookie));
    EXPECT_NE(firstCookie, secondCookie);

    m_browser->FireNavigateComplete(L"http://a/");
    ASSERT_EQ(std::vector<DISPID>{DISPID_NAVIGATECOMPLETE2}, first.ids);
    ASSERT_EQ(1u, first.urls.size());
    EXPECT_EQ(L"http://a/", first.urls[0]);
    EXPECT_EQ(static_cast<IDispatch*>(static_cast<IWebBrowser2*>(m_browser.Get())), first.browsers[0]);
    EXPECT_EQ(1u, second.ids.size());

    EXPECT_EQ(S_OK, point->Unadvise(firstCookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(firstCookie));
    EXPECT_EQ(0u, first.references);
    m_browser->FireNavigateComplete(L"http://b/");
    EXPECT_EQ(1u, first.ids.size());
    EXPECT_EQ(2u, second.ids.size());

    // Closing the tab lets go of every sink.
    m_browser->Close();
    EXPECT_EQ(0u, second.references);
    m_browser->FireNavigateComplete(L"http://c/");
    EXPECT_EQ(2u, second.ids.size());
}

TEST_F(HostBrowserTest, SinkMayUnadviseInsideTheEvent)
{
    RecordingSink sink;
    win::ComPtr<IConnectionPoint> point = Point();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
    sink.during = [&] { EXPECT_EQ(S_OK, point->Unadvise(cookie)); };
    m_browser->FireNavigateComplete(L"http://a/");
    EXPECT_EQ(1u, sink.ids.size());
    EXPECT_EQ(0u, sink.references);
    EXPECT_EQ(0u, m_browser->SinkCount());
}

TEST_F(HostBrowserTest, ConnectionPointRefusesOtherInterfacesAndBadSinks)
{
    win::ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, m_browser.As(container));
    win::ComPtr<IConnectionPoint> point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()));
    EXPECT_EQ(nullptr, point.Get());

    point = Point();
    IID iid{};
    ASSERT_EQ(S_OK, point->GetConnectionInterface(&iid));
    EXPECT_EQ(DIID_DWebBrowserEvents2, iid);
    DWORD cookie = 7;
    EXPECT_EQ(E_POINTER, point->Advise(nullptr, &cookie));
    EXPECT_EQ(0u, cookie);
    win::ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(S_OK, point->GetConnectionPointContainer(back.Put()));
    EXPECT_EQ(container.Get(), back.Get());
}

} // namespace
