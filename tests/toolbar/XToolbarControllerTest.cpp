#include "ToolbarFixture.h"
#include "win/Window.h"

#include "support/Wait.h"
#include "toolbar/XToolbarButtonControl.h"
#include "toolbar/XToolbarDispatcherWindow.h"
#include "win/Bstr.h"
#include "win/Thread.h"

#include <commctrl.h>
#include <exdispid.h>
#include <olectl.h>
#include <objsafe.h>

#include <thread>

namespace toolbar_tests
{
namespace
{

using testing_support::FakeDispatch;
using testing_support::PumpFor;
using testing_support::TestToolbarWindow;
using testing_support::WaitFor;
using Message = TestToolbarWindow::Message;

std::vector<VARIANT> StartupArguments(IDispatch* browser, IDispatch* host)
{
    std::vector<VARIANT> arguments{DispatchArgument(browser), DispatchArgument(host)};
    for (const long id : kCommandIds)
    {
        arguments.push_back(LongArgument(id));
    }
    return arguments;
}

int CountDispatcherWindows()
{
    int count = 0;
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, kTestDispatcherWindowName, nullptr)) != nullptr)
    {
        ++count;
    }
    return count;
}

void EnableScripting(IDispatch* object)
{
    win::ComPtr<IToolbarSecurity> security;
    ASSERT_EQ(S_OK, object->QueryInterface(__uuidof(IToolbarSecurity), security.PutVoid()));
    ASSERT_EQ(S_OK, security->EnableToolbarScripting());
}

using ControllerTest = ToolbarFixture;

TEST_F(ControllerTest, DispatchIsRefusedUntilTheHostUnlocksScripting)
{
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"StartupToolbar");
    ASSERT_EQ(S_OK, control.object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    ASSERT_EQ(1, id);

    VARIANT result;
    EXPECT_EQ(E_ACCESSDENIED, InvokeMethod(control.object.Get(), id, StartupArguments(&browser, &host), &result));
    EXPECT_TRUE(control->Log().empty());
    EXPECT_EQ(nullptr, control->Browser());

    EnableScripting(control.object.Get());
    EXPECT_EQ(S_OK, InvokeMethod(control.object.Get(), id, StartupArguments(&browser, &host), &result));
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_EQ(S_OK, result.lVal);
    EXPECT_EQ(&browser, static_cast<IWebBrowser2*>(control->Browser()));
}

TEST_F(ControllerTest, MalformedDispatchCallsGetDispatchErrorsAndReachNothing)
{
    EnableScripting(control.object.Get());
    VARIANT text;
    ::VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = ::SysAllocString(L"not a number");
    struct Case
    {
        const char* name;
        DISPID id;
        std::vector<VARIANT> arguments;
        HRESULT expected;
        UINT badArgument;
    };
    std::vector<VARIANT> wrongType = StartupArguments(&browser, &host);
    wrongType[3] = text;
    std::vector<VARIANT> numberAsBrowser = StartupArguments(&browser, &host);
    numberAsBrowser[0] = LongArgument(5);
    const Case cases[] = {
        {"too few arguments", 1, {DispatchArgument(&browser)}, DISP_E_BADPARAMCOUNT, 99},
        {"no arguments for OnEvent", 2, {}, DISP_E_BADPARAMCOUNT, 99},
        {"unknown member", 77, {}, DISP_E_MEMBERNOTFOUND, 99},
        {"text for a command id", 1, wrongType, DISP_E_TYPEMISMATCH, 3},
        {"number for the browser", 1, numberAsBrowser, DISP_E_TYPEMISMATCH, 6},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        VARIANT result;
        UINT badArgument = 99;
        EXPECT_EQ(c.expected, InvokeMethod(control.object.Get(), c.id, c.arguments, &result, &badArgument));
        EXPECT_EQ(c.badArgument, badArgument);
        EXPECT_EQ(VT_EMPTY, result.vt);
    }
    ::VariantClear(&text);

    DISPID named = 1;
    VARIANT argument = DispatchArgument(&browser);
    DISPPARAMS withNames{&argument, &named, 1, 1};
    VARIANT result;
    EXPECT_EQ(DISP_E_NONAMEDARGS, control.object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &withNames, &result,
        nullptr, nullptr));
    EXPECT_EQ(
        E_INVALIDARG, control.object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr));
    DISPPARAMS none{};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, control.object->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, &none, &result,
        nullptr, nullptr));
    EXPECT_TRUE(control->Log().empty());
}

TEST_F(ControllerTest, StartupWithoutABrowserGivesEPointerAndAttachesNothing)
{
    FakeDispatch notABrowser;
    struct Case
    {
        const char* name;
        IDispatch* browserArgument;
        IDispatch* hostArgument;
    };
    const Case cases[] = {
        {"not a browser", &notABrowser, &host},
        {"null browser", nullptr, &host},
        {"null host", &browser, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(E_POINTER, control->StartupToolbar(c.browserArgument, c.hostArgument, kCommandIds));
        EXPECT_EQ(nullptr, control->Browser());
        EXPECT_EQ(nullptr, control->GetToolbarHwnd());
        EXPECT_EQ(nullptr, control->DispatcherHwnd());
        EXPECT_TRUE(host.Calls().empty());
        EXPECT_EQ(0u, browser.AdviseCount());
        EXPECT_EQ(L"", control->GetHostString(L"KelTb.Url.Home", L"default"));
    }
    EXPECT_EQ(1u, notABrowser.References());
    EXPECT_EQ(1u, browser.References());
    PumpFor(20);
    EXPECT_EQ(std::vector<std::wstring>({L"StartupToolbar", L"StartupToolbar", L"StartupToolbar"}), control->Log());
}

TEST_F(ControllerTest, StartupAttachesInOrderAndThePostedStartUpRunsAfterItReturned)
{
    // What the host sees: its toolbar window asked for once the browser's events are connected; the start-up
    // message handled only after the call returned, by then with the toolbar subclassed and the dispatcher
    // window made.
    std::vector<std::wstring> events;
    host.SetHandler([&](DISPID id, const std::vector<VARIANT*>&, VARIANT* result) {
        events.push_back(L"host call " + std::to_wstring(id) + L", browser connected " +
                         std::to_wstring(browser.SinkCount()));
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(toolbar.Toolbar()));
        return S_OK;
    });
    toolbar.SetObserver([&](const Message& message) {
        if (message.message == ToolbarPostStartUpMessage())
        {
            const bool subclassed = win::Window::FromHandle(toolbar.Toolbar()) != nullptr;
            const bool dispatcher = ::FindWindowW(kTestDispatcherWindowName, nullptr) != nullptr;
            events.push_back(std::wstring(L"start-up message") + (subclassed ? L", subclassed" : L"") +
                             (dispatcher ? L", dispatcher window" : L""));
        }
    });

    ASSERT_EQ(S_OK, Start(*control.control));
    events.push_back(L"returned");
    ASSERT_TRUE(WaitFor([&] { return !control->Log().empty() && control->Log().back() == L"OnPostStartUp"; }));

    EXPECT_EQ(std::vector<std::wstring>({L"host call 9, browser connected 1", L"returned",
                  L"start-up message, subclassed, dispatcher window"}),
        events);
    EXPECT_NE(0, ::GetWindowLongPtrW(toolbar.Toolbar(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
}

TEST_F(ControllerTest, PostStartUpRunsOncePerModuleForTwoControls)
{
    TestToolbarWindow secondToolbar(HostButtons());
    FakeDispatch secondHost;
    AnswerAsHost(secondHost, secondToolbar.Toolbar());
    ControlHolder second;

    ASSERT_EQ(S_OK, Start(*control.control));
    ASSERT_EQ(S_OK, second->StartupToolbar(&browser, &secondHost, kCommandIds));
    ASSERT_TRUE(WaitFor([&] { return !control->Log().empty() && control->Log().back() == L"OnPostStartUp"; }));
    PumpFor(50);

    const auto ran = [](TestToolbarControl *c) {
        return std::count(c->Log().begin(), c->Log().end(), L"OnPostStartUp");
    };
    EXPECT_EQ(1, ran(control.control));
    EXPECT_EQ(0, ran(second.control));

    // A later start of the same control does not run it again either.
    ASSERT_EQ(S_OK, Start(*control.control));
    PumpFor(50);
    EXPECT_EQ(1, ran(control.control));
}

TEST_F(ControllerTest, ObjectSafetyReportsSafeOptionsAndChecksRequests)
{
    win::ComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, control.object->QueryInterface(IID_IObjectSafety, safety.PutVoid()));

    struct GetCase
    {
        const char* name;
        const IID* iid;
        HRESULT expected;
    };
    const GetCase gets[] = {
        {"dispatch", &IID_IDispatch, S_OK},
        {"control's dispinterface", &DIID_DToolbarTest, S_OK},
        {"persistence", &IID_IPersistStreamInit, S_OK},
        {"missing interface", &IID_IOleInPlaceObject, E_NOINTERFACE},
    };
    for (const GetCase& c : gets)
    {
        SCOPED_TRACE(c.name);
        DWORD supported = 0xDEAD;
        DWORD enabled = 0xBEEF;
        EXPECT_EQ(c.expected, safety->GetInterfaceSafetyOptions(*c.iid, &supported, &enabled));
        EXPECT_EQ(3u, supported);
        EXPECT_EQ(3u, enabled);
    }

    struct SetCase
    {
        const IID* iid;
        DWORD optionsToSet;
        DWORD enabled;
        HRESULT expected;
    };
    const SetCase sets[] = {
        {&IID_IDispatch, 1, 1, S_OK},
        {&IID_IDispatch, 3, 3, S_OK},
        {&IID_IDispatch, 3, 1, E_FAIL},
        {&IID_IDispatch, 4, 4, E_FAIL},
        {&IID_IDispatch, 1, 0, E_FAIL},
        {&IID_IDispatch, 0, 0, S_OK},
        {&IID_IOleInPlaceObject, 1, 1, E_NOINTERFACE},
    };
    for (const SetCase& c : sets)
    {
        SCOPED_TRACE(testing::Message() << "set " << c.optionsToSet << " enabled " << c.enabled);
        EXPECT_EQ(c.expected, safety->SetInterfaceSafetyOptions(*c.iid, c.optionsToSet, c.enabled));
    }
    EXPECT_EQ(E_POINTER, safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, nullptr));
}

TEST_F(ControllerTest, ContainerFacingInterfacesAnswerAsForAnInvisibleControl)
{
    win::ComPtr<IOleObject> ole;
    ASSERT_EQ(S_OK, control.object->QueryInterface(IID_IOleObject, ole.PutVoid()));
    DWORD misc = 0;
    EXPECT_EQ(S_OK, ole->GetMiscStatus(DVASPECT_CONTENT, &misc));
    EXPECT_EQ(kTestMiscStatus, misc);
    EXPECT_EQ(S_OK, ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(
        XToolbarController::kWindowlessActivate, control->ControlFlags() & XToolbarController::kWindowlessActivate);

    win::ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, control.object->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()));
    CLSID classId{};
    EXPECT_EQ(S_OK, persist->GetClassID(&classId));
    EXPECT_EQ(CLSID_ToolbarTest, classId);
    EXPECT_EQ(S_OK, persist->InitNew());

    win::ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(S_OK, control.object->QueryInterface(IID_IProvideClassInfo2, classInfo.PutVoid()));
    GUID events{};
    EXPECT_EQ(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    EXPECT_EQ(DIID_DToolbarTestEvents, events);
    win::ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, classInfo->GetClassInfo(info.Put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    info->ReleaseTypeAttr(attributes);

    win::ComPtr<IConnectionPointContainer> points;
    ASSERT_EQ(S_OK, control.object->QueryInterface(IID_IConnectionPointContainer, points.PutVoid()));
    win::ComPtr<IConnectionPoint> point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, points->FindConnectionPoint(IID_IDispatch, point.Put()));
    ASSERT_EQ(S_OK, points->FindConnectionPoint(DIID_DToolbarTestEvents, point.Put()));
    FakeDispatch sink;
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, point->Advise(&sink, &cookie));

    // A container that enumerates finds the same event source and the connection made on it.
    win::ComPtr<IEnumConnectionPoints> pointList;
    ASSERT_EQ(S_OK, points->EnumConnectionPoints(pointList.Put()));
    IConnectionPoint* listed[2] = {nullptr, nullptr};
    ULONG fetched = 7;
    EXPECT_EQ(S_FALSE, pointList->Next(2, listed, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(point.Get(), listed[0]);
    listed[0]->Release();
    EXPECT_EQ(S_OK, pointList->Reset());
    EXPECT_EQ(S_FALSE, pointList->Skip(2));
    win::ComPtr<IEnumConnections> connections;
    ASSERT_EQ(S_OK, point->EnumConnections(connections.Put()));
    CONNECTDATA connection{};
    ASSERT_EQ(S_OK, connections->Next(1, &connection, nullptr));
    EXPECT_EQ(cookie, connection.dwCookie);
    ASSERT_NE(nullptr, connection.pUnk);
    connection.pUnk->Release();
    win::ComPtr<IEnumConnections> clone;
    ASSERT_EQ(S_OK, connections->Clone(clone.Put()));
    EXPECT_EQ(S_FALSE, clone->Next(1, &connection, nullptr));
    connections.Reset();
    clone.Reset();

    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
    EXPECT_EQ(1u, sink.References());

    // The unlock interface and the safety part share the control's identity.
    win::ComPtr<IToolbarSecurity> security;
    ASSERT_EQ(S_OK, control.object->QueryInterface(__uuidof(IToolbarSecurity), security.PutVoid()));
    win::ComPtr<IUnknown> fromSecurity;
    win::ComPtr<IUnknown> fromControl;
    ASSERT_EQ(S_OK, security->QueryInterface(IID_IUnknown, fromSecurity.PutVoid()));
    ASSERT_EQ(S_OK, control.object->QueryInterface(IID_IUnknown, fromControl.PutVoid()));
    EXPECT_EQ(fromControl.Get(), fromSecurity.Get());
}

TEST_F(ControllerTest, OneDispatcherWindowAfterTwoStartsAndNoneAfterShutdown)
{
    testing_support::FakeBrowser secondBrowser;
    ASSERT_EQ(S_OK, Start(*control.control));
    ASSERT_EQ(S_OK, control->StartupToolbar(&secondBrowser, &host, kCommandIds));

    EXPECT_EQ(1, CountDispatcherWindows());
    EXPECT_EQ(0u, browser.SinkCount());
    EXPECT_EQ(1u, secondBrowser.SinkCount());
    EXPECT_EQ(2u, control->ButtonControls().size());
    EXPECT_TRUE(control->IsBrowserEventsConnected());

    // A second control with the same window name shares the class and gets its own window.
    ControlHolder other;
    ASSERT_EQ(S_OK, Start(*other.control));
    EXPECT_EQ(2, CountDispatcherWindows());
    EXPECT_NE(other->DispatcherHwnd(), control->DispatcherHwnd());

    control->ShutDown();
    other->ShutDown();
    EXPECT_EQ(0, CountDispatcherWindows());
    EXPECT_EQ(0u, secondBrowser.SinkCount());
    EXPECT_EQ(nullptr, win::Window::FromHandle(toolbar.Toolbar()));
    control.object.Reset();
    other.object.Reset();
    EXPECT_EQ(1u, browser.References());
    EXPECT_EQ(1u, secondBrowser.References());
}

TEST_F(ControllerTest, ControllerMessagesArriveInOrderOnTheUiThreadOnlyWhileStarted)
{
    EXPECT_FALSE(control->PostControllerMessage(1));
    ASSERT_EQ(S_OK, Start(*control.control));
    PumpFor(20);
    control->Log().clear();

    EXPECT_TRUE(control->PostControllerMessage(7));
    std::thread worker([&] {
        for (LPARAM value = 8; value <= 10; ++value)
        {
            control->PostControllerMessage(value);
        }
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return control->Log().size() == 4; }));
    EXPECT_EQ(std::vector<std::wstring>({L"controller message 7", L"controller message 8", L"controller message 9",
                  L"controller message 10"}),
        control->Log());

    control->ShutDown();
    EXPECT_FALSE(control->PostControllerMessage(11));
}

TEST_F(ControllerTest, HostReceivesExactAttributeStringsAndScripts)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    PumpFor(20);
    toolbar.ClearMessages();

    control->SetButtonTexts(L"CID_KEL_LOGO", L"logo.ico", L"Kel", L"Open Kel");
    control->SetButtonVisibility(L"CID_KEL_SEARCH", FALSE);
    control->SetButtonVisibility(L"CID_KEL_SEARCH", TRUE);
    EXPECT_TRUE(control->FireToolbarEvent(host::kUpdateStatusEvent, 1));
    EXPECT_FALSE(control->SetButtonTitle(L"CID_UNKNOWN", L"x"));

    const std::vector<Message> expected = {
        {3036, kLogo, 0, L"icon=\"logo.ico\""},
        {3036, kLogo, 0, L"title=\"Kel\""},
        {3036, kLogo, 0, L"tooltip=\"Open Kel\""},
        {3036, kSearch, 0, L"visibility=\"false\""},
        {3036, kSearch, 0, L"visibility=\"true\""},
        {3036, 0, 0, L"toolbar.FireEvent(\"UpdateStatus\", 1)"},
    };
    EXPECT_EQ(expected, toolbar.Messages());
}

TEST_F(ControllerTest, EventNamesThatCouldChangeTheScriptAreRefused)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    PumpFor(20);
    toolbar.ClearMessages();
    const wchar_t* const refused[] = {L"Up\"); evil(\"", L"back\\slash", L"quote'", L"line\nbreak", L"\"", L"\\"};
    for (const wchar_t* name : refused)
    {
        SCOPED_TRACE(testing::Message() << "name " << testing::PrintToString(std::wstring(name)));
        EXPECT_FALSE(control->FireToolbarEvent(name, 1));
    }
    EXPECT_TRUE(toolbar.Messages().empty());
    EXPECT_TRUE(control->FireToolbarEvent(L"Update Status-2", -3));
    ASSERT_EQ(1u, toolbar.Messages().size());
    EXPECT_EQ(L"toolbar.FireEvent(\"Update Status-2\", -3)", toolbar.Messages()[0].text);
}

TEST_F(ControllerTest, HostAndToolbarCallsFailQuietlyAfterShutdownOrWhenTheToolbarIsGone)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    EXPECT_EQ(L"http://127.0.0.1/home", control->GetHostString(L"KelTb.Url.Home", L""));
    EXPECT_EQ(L"{guid}|expanded", control->ExpandHostMacros(L"{guid}"));

    toolbar.DestroyToolbar();
    EXPECT_TRUE(control->IsShuttingDown());
    EXPECT_EQ(-1, control->GetButtonIndex(L"CID_KEL_LOGO"));
    EXPECT_FALSE(control->SetButtonTitle(L"CID_KEL_LOGO", L"x"));
    EXPECT_FALSE(control->FireToolbarEvent(L"UpdateStatus", 1));
    EXPECT_EQ(0, control->GetButtonCount());
    EXPECT_EQ(XToolbarController::kNoCommand, control->GetCommandIdAt(0));
    const RECT rect = control->GetButtonScreenRect(L"CID_KEL_LOGO");
    EXPECT_TRUE(::IsRectEmpty(&rect));
    EXPECT_FALSE(control->IsToolbarShown());
    EXPECT_FALSE(control->UpdateButton(L"CID_PAVISE_STATUS", 0, 16, 16, L"t", L"t", TRUE, TRUE, TRUE));
    control->LayoutToolbar();
    EXPECT_FALSE(control->CreateButtonControl(L"CID_PAVISE_STATUS", 1));

    control->ShutDown();
    control->ShutDown();
    EXPECT_EQ(L"", control->GetHostString(L"KelTb.Url.Home", L"default"));
    EXPECT_EQ(L"", control->ExpandHostMacros(L"{guid}"));
    EXPECT_FALSE(control->Navigate(L"http://127.0.0.1/", FALSE));
    EXPECT_EQ(E_POINTER, control->NavigateToKey(L"KelTb.Url.Home"));
    EXPECT_EQ(S_OK, control->OnEvent(L"UpdateStatus"));

    // Started again over a new toolbar, it works as before.
    TestToolbarWindow fresh(HostButtons());
    AnswerAsHost(host, fresh.Toolbar());
    ASSERT_EQ(S_OK, Start(*control.control));
    EXPECT_FALSE(control->IsShuttingDown());
    EXPECT_TRUE(control->SetButtonTitle(L"CID_KEL_LOGO", L"x"));
    EXPECT_EQ(2u, control->ButtonControls().size());
    EXPECT_TRUE(control->FindButtonControl(L"CID_PAVISE_STATUS")->IsWindow());
}

TEST_F(ControllerTest, HostAnswersOfTheWrongTypeGiveEmptyResults)
{
    host.SetHandler([](DISPID, const std::vector<VARIANT*>&, VARIANT* result) {
        result->vt = VT_UNKNOWN;
        result->punkVal = nullptr;
        return S_OK;
    });
    ASSERT_EQ(S_OK, Start(*control.control));
    EXPECT_EQ(nullptr, control->GetToolbarHwnd());
    EXPECT_EQ(L"", control->GetHostString(L"KelTb.Url.Home", L"default"));
    host.SetHandler([](DISPID, const std::vector<VARIANT*>&, VARIANT*) { return E_FAIL; });
    EXPECT_EQ(L"", control->ExpandHostMacros(L"{guid}"));
    EXPECT_EQ(E_FAIL, control->NavigateToKey(L"KelTb.Url.Home"));
}

TEST_F(ControllerTest, BrowserEventsAreAnsweredAndChangeNothing)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    ASSERT_EQ(1u, browser.SinkCount());
    EXPECT_EQ(std::vector<HRESULT>({S_OK}), browser.FireEvent(DISPID_NAVIGATECOMPLETE2));
    EXPECT_EQ(std::vector<HRESULT>({S_OK}), browser.FireEvent(DISPID_DOCUMENTCOMPLETE));
    EXPECT_EQ(&browser, static_cast<IWebBrowser2*>(control->Browser()));

    IDispatch* sink = control->BrowserEventSink();
    win::ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, sink->QueryInterface(DIID_DWebBrowserEvents2, unknown.PutVoid()));
    EXPECT_EQ(E_NOINTERFACE, sink->QueryInterface(IID_NULL, unknown.PutVoid()));
    UINT count = 9;
    EXPECT_EQ(E_NOTIMPL, sink->GetTypeInfoCount(&count));
}

TEST_F(ControllerTest, NavigateOpensNewTabsOrNewWindowsByBrowserVersion)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    struct Case
    {
        UINT version;
        BOOL newWindow;
        VARTYPE flagsType;
        long flags;
    };
    const Case cases[] = {
        {6, TRUE, VT_I4, navOpenInNewWindow},
        {7, TRUE, VT_I4, navOpenInNewTab},
        {8, TRUE, VT_I4, navOpenInNewTab},
        {6, FALSE, VT_EMPTY, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " new window " << c.newWindow);
        control->SetBrowserMajorVersion(c.version);
        ASSERT_TRUE(control->Navigate(L"http://127.0.0.1/page", c.newWindow));
        ASSERT_FALSE(browser.Navigations().empty());
        EXPECT_EQ(L"http://127.0.0.1/page", browser.Navigations().back().url);
        EXPECT_EQ(c.flagsType, browser.Navigations().back().flagsType);
        EXPECT_EQ(c.flags, browser.Navigations().back().flags);
    }
    const size_t before = browser.Navigations().size();
    EXPECT_FALSE(control->Navigate(L"", TRUE));
    EXPECT_EQ(S_OK, control->NavigateToKey(L"KelTb.Url.Home"));
    ASSERT_EQ(before + 1, browser.Navigations().size());
    EXPECT_EQ(L"http://127.0.0.1/home", browser.Navigations().back().url);
}

TEST_F(ControllerTest, ButtonLookupsGiveTheirFailureValues)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    EXPECT_EQ(XToolbarController::kNoCommand, control->GetCommandId(L""));
    EXPECT_EQ(XToolbarController::kNoCommand, control->GetCommandId(L"CID_MISSING"));
    EXPECT_EQ(L"", control->GetButtonName(-1));
    EXPECT_EQ(L"", control->GetButtonName(999));
    EXPECT_EQ(L"CID_NORVIX_UPDATE", control->GetButtonName(kUpdate));
    EXPECT_EQ(7, control->GetButtonCount());
    EXPECT_EQ(XToolbarController::kNoCommand, control->GetCommandIdAt(7));
    EXPECT_EQ(XToolbarController::kNoCommand, control->GetCommandIdAt(-1));
    EXPECT_EQ(kOptions, control->GetCommandIdAt(6));
    EXPECT_FALSE(control->IsButtonHidden(XToolbarController::kNoCommand));
    EXPECT_FALSE(control->IsButtonShown(L"CID_MISSING"));
    EXPECT_TRUE(control->IsButtonShown(L"CID_KEL_LOGO"));
    control->HideButton(L"CID_KEL_LOGO", TRUE);
    EXPECT_FALSE(control->IsButtonShown(L"CID_KEL_LOGO"));
}

} // namespace
} // namespace toolbar_tests
