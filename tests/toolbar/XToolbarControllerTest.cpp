#include "ToolbarFixture.h"

#include "support/Wait.h"
#include "toolbar/XToolbarButtonControl.h"
#include "toolbar/XToolbarDispatcherWindow.h"
#include "win/Bstr.h"
#include "win/ComModule.h"
#include "win/Variant.h"
#include "win/Window.h"

#include <exdispid.h>
#include <olectl.h>

#include <cstring>
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
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, kTestDispatcherWindowName, nullptr));)
    {
        ++count;
    }
    return count;
}

bool PostStartUpRan(TestToolbarControl* control)
{
    return std::count(control->Log().begin(), control->Log().end(), L"OnPostStartUp") > 0;
}

using ControllerTest = ToolbarFixture;

TEST_F(ControllerTest, MalformedDispatchCallsGetDispatchErrorsAndReachNothing)
{
    VARIANT result;
    EXPECT_EQ(E_ACCESSDENIED, InvokeMethod(control.object.Get(), 2, {LongArgument(1)}, &result)) << "before the unlock";
    win::ComPtr<IToolbarSecurity> security;
    ASSERT_EQ(S_OK, control.object.As(security));
    ASSERT_EQ(S_OK, security->EnableToolbarScripting());
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = ::SysAllocString(L"not a number");
    std::vector<VARIANT> wrongType = StartupArguments(browser.Get(), &host);
    wrongType[3] = text;
    std::vector<VARIANT> numberAsBrowser = StartupArguments(browser.Get(), &host);
    numberAsBrowser[0] = LongArgument(5);
    const struct
    {
        const char* name;
        DISPID id;
        std::vector<VARIANT> arguments;
        HRESULT expected;
        UINT badArgument;
    } cases[] = {
        {"too few arguments", 1, {DispatchArgument(browser.Get())}, DISP_E_BADPARAMCOUNT, 99},
        {"no arguments for OnEvent", 2, {}, DISP_E_BADPARAMCOUNT, 99},
        {"unknown member", 77, {}, DISP_E_MEMBERNOTFOUND, 99},
        {"text for a command id", 1, wrongType, DISP_E_TYPEMISMATCH, 3},
        {"number for the browser", 1, numberAsBrowser, DISP_E_TYPEMISMATCH, 6},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        UINT badArgument = 99;
        EXPECT_EQ(c.expected, InvokeMethod(control.object.Get(), c.id, c.arguments, &result, &badArgument));
        EXPECT_EQ(c.badArgument, badArgument);
        EXPECT_EQ(VT_EMPTY, result.vt);
    }
    ::VariantClear(&text);

    DISPID named = 1;
    VARIANT argument = DispatchArgument(browser.Get());
    DISPPARAMS withNames{&argument, &named, 1, 1};
    DISPPARAMS none{};
    EXPECT_EQ(DISP_E_NONAMEDARGS,
        control.object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &withNames, &result, nullptr, nullptr));
    EXPECT_EQ(
        E_INVALIDARG, control.object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
        control.object->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    EXPECT_EQ(nullptr, control->Browser());
}

TEST_F(ControllerTest, AScriptsCallRunsWithItsShortNumbersAndItsVariablesPassedByReference)
{
    // A script engine asks for a method or a property at once, passes its literal numbers as VT_I2 and its
    // variables by reference to the variants that hold them.
    win::ComPtr<IToolbarSecurity> security;
    ASSERT_EQ(S_OK, control.object.As(security));
    ASSERT_EQ(S_OK, security->EnableToolbarScripting());
    VARIANT variables[2] = {DispatchArgument(browser.Get()), DispatchArgument(&host)};
    std::vector<VARIANT> arguments;  // last first
    for (auto id = std::rbegin(kCommandIds); id != std::rend(kCommandIds); ++id)
    {
        VARIANT number;
        std::memset(&number, 0xCD, sizeof(number));  // the bytes a VT_I2 does not use are not cleared
        number.vt = VT_I2;
        number.iVal = static_cast<SHORT>(*id);
        arguments.push_back(number);
    }
    for (VARIANT* variable : {&variables[1], &variables[0]})
    {
        arguments.push_back(VARIANT{});
        arguments.back().vt = VT_BYREF | VT_VARIANT;
        arguments.back().pvarVal = variable;
    }
    const WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    DISPPARAMS startup{arguments.data(), nullptr, 7, 0};
    win::Variant result;
    ASSERT_EQ(S_OK, control.object->Invoke(1, IID_NULL, 0, flags, &startup, result.Put(), nullptr, nullptr));
    EXPECT_EQ(VT_I4, result.Type());
    EXPECT_EQ(S_OK, result.Get()->lVal);
    EXPECT_EQ(static_cast<IWebBrowser2*>(browser.Get()), control->Browser());
    EXPECT_EQ(kUpdate, control->GetCommandId(L"CID_NORVIX_UPDATE"));

    win::Bstr name(L"UpdateStatus");
    BSTR text = name.Get();
    VARIANT byReference{};
    byReference.vt = VT_BYREF | VT_BSTR;
    byReference.pbstrVal = &text;
    DISPPARAMS event{&byReference, nullptr, 1, 0};
    EXPECT_EQ(S_OK, control.object->Invoke(2, IID_NULL, 0, flags, &event, result.Put(), nullptr, nullptr));
    EXPECT_EQ(std::vector<std::wstring>{L"event UpdateStatus"}, control->Log());
}

TEST_F(ControllerTest, StartupAttachesInOrderAndThePostedStartUpRunsAfterItReturned)
{
    // What the host sees: its toolbar window asked for once the browser's events are connected; the start-up
    // message handled only after the call returned, by then with the toolbar subclassed and the dispatcher
    // window made.
    std::vector<std::wstring> events;
    host.SetHandler([&](DISPID id, const std::vector<VARIANT*>&, VARIANT* result) {
        events.push_back(
            L"host call " + std::to_wstring(id) + L", browser connected " + std::to_wstring(browser->SinkCount()));
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(toolbar.Toolbar()));
        return S_OK;
    });
    toolbar.SetObserver([&](const Message& message) {
        if (message.message == toolbar::ToolbarPostStartUpMessage())
        {
            const bool subclassed = win::Window::FromHandle(toolbar.Toolbar()) != nullptr;
            const bool dispatcher = ::FindWindowW(kTestDispatcherWindowName, nullptr) != nullptr;
            events.push_back(std::wstring(L"start-up message") + (subclassed ? L", subclassed" : L"") +
                (dispatcher ? L", dispatcher window" : L""));
        }
    });

    ASSERT_EQ(S_OK, Start(*control.control));
    events.push_back(L"returned");
    ASSERT_TRUE(WaitFor([&] { return PostStartUpRan(control.control); }));
    EXPECT_EQ(std::vector<std::wstring>({L"host call 9, browser connected 1", L"returned",
                  L"start-up message, subclassed, dispatcher window"}),
        events);
    EXPECT_NE(0, ::GetWindowLongPtrW(toolbar.Toolbar(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);

    // Once per module: neither a second control nor a second start of the first runs it again.
    TestToolbarWindow secondToolbar(HostButtons());
    testing_support::FakeHost secondHost(secondToolbar.Toolbar());
    ControlHolder second;
    ASSERT_EQ(S_OK, second->StartupToolbar(browser.Get(), &secondHost, kCommandIds));
    ASSERT_EQ(S_OK, Start(*control.control));
    PumpFor(50);
    EXPECT_EQ(1, std::count(control->Log().begin(), control->Log().end(), L"OnPostStartUp"));
    EXPECT_FALSE(PostStartUpRan(second.control));
}

TEST_F(ControllerTest, ContainerFacingInterfacesAnswerAsForAnInvisibleControl)
{
    EXPECT_EQ(S_FALSE, win::ModuleCanUnloadNow()) << "a control is alive";
    win::ComPtr<IOleObject> ole;
    ASSERT_EQ(S_OK, control.object.As(ole));
    DWORD misc = 0;
    EXPECT_EQ(S_OK, ole->GetMiscStatus(DVASPECT_CONTENT, &misc));
    EXPECT_EQ(kTestMiscStatus, misc);
    EXPECT_EQ(S_OK, ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(toolbar::XToolbarController::kWindowlessActivate,
        control->ControlFlags() & toolbar::XToolbarController::kWindowlessActivate);

    win::ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(S_OK, control.object.As(classInfo));
    GUID events{};
    EXPECT_EQ(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    EXPECT_EQ(DIID_DToolbarTestEvents, events);

    win::ComPtr<IConnectionPointContainer> points;
    ASSERT_EQ(S_OK, control.object.As(points));
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
    win::ComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, control.object.As(security));
    ASSERT_EQ(S_OK, control.object.As(IID_IObjectSafety, safety.PutVoid()));
    const auto identity = [](IUnknown* part) {
        win::ComPtr<IUnknown> unknown;
        EXPECT_EQ(S_OK, part->QueryInterface(IID_IUnknown, unknown.PutVoid()));
        return unknown.Get();
    };
    EXPECT_EQ(identity(control.object.Get()), identity(security.Get()));
    EXPECT_EQ(identity(control.object.Get()), identity(safety.Get()));

    // A scripting host asks whether the control is safe for untrusted callers and data (3): it is for every
    // interface it has, and says so for one it lacks too; it refuses any other option, since a container blocks
    // scripting on a wrong answer.
    for (const auto& [iid, expected] : {std::pair{&IID_IDispatch, S_OK}, {&IID_IClassFactory, E_NOINTERFACE}})
    {
        DWORD supported = 0;
        DWORD enabled = 0;
        EXPECT_EQ(expected, safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled));
        EXPECT_EQ(3u, supported);
        EXPECT_EQ(3u, enabled);
        EXPECT_EQ(expected, safety->SetInterfaceSafetyOptions(*iid, 3, 3));
    }
    EXPECT_EQ(E_POINTER, safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, nullptr));
    const std::tuple<DWORD, DWORD, HRESULT> options[] = {
        {1, 1 | 4, S_OK}, {0, 0, S_OK}, {3, 2, E_FAIL}, {1, 0, E_FAIL}, {4, 4, E_FAIL}};
    for (const auto& [toSet, enabled, expected] : options)
    {
        SCOPED_TRACE(testing::Message() << "set " << toSet << " of " << enabled);
        EXPECT_EQ(expected, safety->SetInterfaceSafetyOptions(IID_IDispatch, toSet, enabled));
    }
}

TEST_F(ControllerTest, ASecondStartMovesToTheNewBrowserAndShutdownLetsGoOfEverything)
{
    EXPECT_FALSE(control->PostControllerMessage(1)) << "not started";
    const auto secondBrowser = NewBrowser();
    ASSERT_EQ(S_OK, Start(*control.control));
    ASSERT_EQ(S_OK, control->StartupToolbar(secondBrowser.Get(), &host, kCommandIds));
    EXPECT_EQ(1, CountDispatcherWindows());
    EXPECT_EQ(0u, browser->SinkCount());
    EXPECT_EQ(1u, secondBrowser->SinkCount());
    EXPECT_EQ(2u, control->ButtonControls().size());
    VARIANT answer;
    DISPPARAMS none{};
    EXPECT_EQ(S_OK,
        control->BrowserEventSink()->Invoke(
            DISPID_NAVIGATECOMPLETE2, IID_NULL, 0, DISPATCH_METHOD, &none, &answer, nullptr, nullptr));

    // Messages from any thread arrive in order on the UI thread.
    PumpFor(20);
    control->Log().clear();
    EXPECT_TRUE(control->PostControllerMessage(7));
    std::thread([&] {
        for (LPARAM value = 8; value <= 10; ++value)
        {
            control->PostControllerMessage(value);
        }
    }).join();
    ASSERT_TRUE(WaitFor([&] { return control->Log().size() == 4; }));
    EXPECT_EQ(std::vector<std::wstring>({L"message 7", L"message 8", L"message 9", L"message 10"}), control->Log());

    // A second control with the same window name shares the class and gets its own window.
    ControlHolder other;
    ASSERT_EQ(S_OK, Start(*other.control));
    EXPECT_EQ(2, CountDispatcherWindows());
    control->ShutDown();
    other->ShutDown();
    EXPECT_FALSE(control->PostControllerMessage(11));
    EXPECT_EQ(0, CountDispatcherWindows());
    EXPECT_EQ(0u, secondBrowser->SinkCount());
    EXPECT_EQ(nullptr, win::Window::FromHandle(toolbar.Toolbar()));
    control.object.Reset();
    other.object.Reset();
    EXPECT_EQ(1u, References(static_cast<IWebBrowser2*>(browser.Get())));
    EXPECT_EQ(1u, References(static_cast<IWebBrowser2*>(secondBrowser.Get())));
    EXPECT_EQ(1u, host.References());
}

TEST_F(ControllerTest, HostReceivesExactAttributeStringsAndOnlyScriptsThatCannotBeChanged)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    PumpFor(20);
    toolbar.ClearMessages();
    EXPECT_TRUE(control->FireToolbarEvent(host::kUpdateStatusEvent, 1));
    EXPECT_FALSE(control->SetButtonVisibility(L"CID_UNKNOWN", TRUE));
    for (const wchar_t* name : {L"Up\"); evil(\"", L"back\\slash", L"quote'", L"line\nbreak", L"\"", L"\\"})
    {
        SCOPED_TRACE(testing::Message() << "name " << testing::PrintToString(std::wstring(name)));
        EXPECT_FALSE(control->FireToolbarEvent(name, 1));
    }
    EXPECT_TRUE(control->FireToolbarEvent(L"Update Status-2", -3));
    const std::vector<Message> expected = {
        {3036, 0, 0, L"toolbar.FireEvent(\"UpdateStatus\", 1)"},
        {3036, 0, 0, L"toolbar.FireEvent(\"Update Status-2\", -3)"},
    };
    EXPECT_EQ(expected, toolbar.Messages());
}

TEST_F(ControllerTest, LookupsAndHostCallsGiveTheirFailureValuesWithoutAToolbarOrAfterShutdown)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    EXPECT_EQ(toolbar::XToolbarController::kNoCommand, control->GetCommandId(L"CID_MISSING"));
    EXPECT_EQ(L"", control->GetButtonName(999));
    EXPECT_EQ(7, control->GetButtonCount());
    EXPECT_EQ(toolbar::XToolbarController::kNoCommand, control->GetCommandIdAt(7));
    EXPECT_EQ(kOptions, control->GetCommandIdAt(6));

    toolbar.DestroyToolbar();
    EXPECT_TRUE(control->IsShuttingDown());
    EXPECT_EQ(-1, control->GetButtonIndex(L"CID_KEL_LOGO"));
    EXPECT_FALSE(control->FireToolbarEvent(L"UpdateStatus", 1));
    const RECT rect = control->GetButtonScreenRect(L"CID_KEL_LOGO");
    EXPECT_TRUE(::IsRectEmpty(&rect));
    EXPECT_FALSE(control->UpdateButton(L"CID_PAVISE_STATUS", 0, 16, 16, L"t", L"t", TRUE, TRUE, TRUE));
    EXPECT_FALSE(control->CreateButtonControl(L"CID_PAVISE_STATUS", 1));
    control->ShutDown();
    control->ShutDown();
    EXPECT_EQ(L"", control->GetHostString(L"KelTb.Url.Home", L"default"));

    // Started again over a new toolbar, it works as before; a host that answers nonsense gives empty results.
    TestToolbarWindow fresh(HostButtons());
    host.toolbar = fresh.Toolbar();
    ASSERT_EQ(S_OK, Start(*control.control));
    EXPECT_TRUE(control->SetButtonVisibility(L"CID_KEL_LOGO", TRUE));
    host.SetHandler([](DISPID, const std::vector<VARIANT*>&, VARIANT* result) {
        result->vt = VT_UNKNOWN;
        result->punkVal = nullptr;
        return S_OK;
    });
    EXPECT_EQ(L"", control->GetHostString(L"KelTb.Url.Home", L"default"));
}

// The control's overlays and host calls belong to the thread that made it: the test programs stop at a call from
// another thread.
using ControllerDeathTest = ControllerTest;

TEST_F(ControllerDeathTest, AnOverlayUpdateFromAnotherThreadIsReportedAndStopsTheTestProgram)
{
    ASSERT_EQ(S_OK, Start(*control.control));
    // A button without overlay: a call that got past the check would return at once instead of waiting for the
    // windows of the thread that joins.
    EXPECT_DEATH(std::thread([&] {
        (void)control->UpdateButton(L"CID_KEL_SEARCH", 0, 16, 16, L"t", L"t", TRUE, TRUE, TRUE);
    }).join(),
        "broken rule: src/toolbar/XToolbarController.cpp.*UpdateButton: called on thread");
}

}  // namespace
}  // namespace toolbar_tests
