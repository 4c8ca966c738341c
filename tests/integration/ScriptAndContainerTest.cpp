// The real module in the two other kinds of container it meets: a script host that creates "Kel.Norvix" by
// ProgID and drives it through IDispatch, and a plain ActiveX container window that creates and sites it.

#include "NorvixSystem.h"
#include "ScriptSupport/ScriptSupport.h"

#include "Core/NorvixIds.h"
#include "support/Wait.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/ComPtr.h"
#include "win/ComRegistration.h"
#include "win/File.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/Scope.h"
#include "win/Strings.h"
#include "win/Variant.h"

#include <oleidl.h>

#include <string>
#include <thread>
#include <vector>

namespace integration
{
namespace
{

// The script: every result is echoed; each one that is not what the add-on should give counts as a surprise,
// and the number of surprises is the exit code.
const char kClientScript[] = R"vbs(Option Explicit
On Error Resume Next
Dim surprises, support, control, browser, host, result
surprises = 0

Sub Check(name, actual, expected)
    WScript.Echo name & ": " & actual
    If CStr(actual) <> CStr(expected) Then surprises = surprises + 1
End Sub

Set support = CreateObject("NorvixTest.ScriptSupport")
If Err.Number <> 0 Then
    WScript.Echo "no support object: " & Err.Number
    WScript.Quit 100
End If
Set browser = support.Browser()
Set host = support.Host()

Set control = CreateObject("Kel.Norvix")
Check "create", Err.Number, 0
If Err.Number <> 0 Then WScript.Quit 101

Check "unlock", support.Unlock(control), 0
result = control.StartupToolbar(browser, host, 101, 102, 103, 106, 107)
Check "startup", Err.Number & " " & result, "0 0"
Err.Clear

WScript.Echo "waiting"
Check "go", support.ReadLine(60000), "go"
Check "event UpdateStatus", control.OnEvent("UpdateStatus"), 0
Check "errors", Err.Number, 0

Set control = Nothing
Check "released", Err.Number, 0
Set host = Nothing
Set browser = Nothing
Set support = Nothing
WScript.Quit surprises
)vbs";

}  // namespace

using ScriptClientTest = NorvixSystemTest;

TEST_F(ScriptClientTest, ScriptCreatesTheControlUnlocksAndStartsItAndItPolls)
{
    // The script support server, in the machine's class branch while the test runs.
    const std::wstring classKey = L"Software\\Classes\\CLSID\\" + win::GuidToString(CLSID_NorvixScriptSupport);
    const std::wstring progIdKey = std::wstring(L"Software\\Classes\\") + kScriptSupportProgId;
    const win::ScopeExit unregister([&] {
        (void)win::DeleteRegTree(HKEY_LOCAL_MACHINE, classKey);
        (void)win::DeleteRegTree(HKEY_LOCAL_MACHINE, progIdKey);
    });
    {
        const auto server = win::CreateRegKey(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32");
        const auto progId = win::CreateRegKey(HKEY_LOCAL_MACHINE, progIdKey + L"\\CLSID");
        ASSERT_TRUE(server && progId &&
            win::WriteRegString(server.Get(), nullptr, WindowsPath(NORVIX_SCRIPT_SUPPORT_DLL)) &&
            win::WriteRegString(server.Get(), L"ThreadingModel", L"Apartment") &&
            win::WriteRegString(progId.Get(), nullptr, win::GuidToString(CLSID_NorvixScriptSupport)));
    }

    const std::wstring script = m_folder.File(L"client.vbs");
    ASSERT_TRUE(win::File::WriteAll(script, kClientScript));
    // The host object answers the test's settings.
    ASSERT_TRUE(::SetEnvironmentVariableW(kScriptSettingsVariable, WriteSettings().c_str()));
    const win::ScopeExit forget([] { ::SetEnvironmentVariableW(kScriptSettingsVariable, nullptr); });
    testing_support::ChildProcess client;
    // The process start finds the script host in the system folder.
    ASSERT_TRUE(client.Start(L"cscript.exe //nologo \"" + script + L"\"")) << "no script host in the prefix";
    const auto dump = [&client] { return testing::PrintToString(client.Lines()); };
    ASSERT_TRUE(client.WaitForLine("waiting", 60000)) << dump();
    // Started by the script, the control's worker queries the service on its own (the status file is new).
    EXPECT_TRUE(testing_support::WaitFor([this] { return Requests("/GetStatus") >= 1; }, 30000)) << dump();
    client.Send("go");
    EXPECT_TRUE(client.WaitForLine("released", 60000)) << dump();
    EXPECT_EQ(0, client.WaitForExit(60000)) << dump();

    const std::vector<std::string> expected = {"create: 0", "unlock: 0", "startup: 0 0", "waiting", "go: go",
        "event UpdateStatus: 0", "errors: 0", "released: 0"};
    EXPECT_EQ(expected, client.Lines());
}

using AtlContainerTest = NorvixSystemTest;

namespace
{
// The container's side, on a UI thread of its own: the container window initialises OLE on its thread
// (AtlAxWinInit does, without a matching uninitialisation), which must not leak into the test's thread.
void HostInContainerWindow(HMODULE atl)
{
    const auto init = win::GetProc<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
    const auto getControl = win::GetProc<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
    ASSERT_TRUE(init && getControl);
    ASSERT_TRUE(init());

    const HWND parent = ::CreateWindowExW(
        0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, parent);
    const HWND holder = ::CreateWindowExW(
        0, L"AtlAxWin", core::kNorvixProgId, WS_CHILD | WS_VISIBLE, 0, 0, 200, 30, parent, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, holder);

    IUnknown* control = nullptr;
    ASSERT_EQ(S_OK, getControl(holder, &control));
    ASSERT_NE(nullptr, control);
    {
        win::ComPtr<IOleObject> object;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IOleObject, object.PutVoid()));
        CLSID classId{};
        EXPECT_EQ(S_OK, object->GetUserClassID(&classId));
        EXPECT_TRUE(::IsEqualCLSID(core::CLSID_Norvix, classId));
        win::ComPtr<IOleClientSite> site;
        EXPECT_EQ(S_OK, object->GetClientSite(site.Put()));
        EXPECT_TRUE(site) << "the container did not site the control";

        win::ComPtr<IPersist> persist;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IPersist, persist.PutVoid()));
        EXPECT_EQ(S_OK, persist->GetClassID(&classId));
        EXPECT_TRUE(::IsEqualCLSID(core::CLSID_Norvix, classId));

        win::ComPtr<IDispatch> dispatch;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IDispatch, dispatch.PutVoid()));
        LPOLESTR name = const_cast<LPOLESTR>(L"OnEvent");
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        const auto callOnEvent = [&](VARIANT* result) {
            win::Variant argument(std::wstring_view(L"Other"));
            DISPPARAMS params{argument.Get(), nullptr, 1, 0};
            return dispatch->Invoke(
                id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
        };
        win::ComPtr<IToolbarSecurity> security;
        ASSERT_EQ(S_OK, control->QueryInterface(__uuidof(IToolbarSecurity), security.PutVoid()));
        EXPECT_EQ(S_OK, security->EnableToolbarScripting());
        win::Variant result;
        EXPECT_EQ(S_OK, callOnEvent(result.Put()));
        EXPECT_EQ(VT_I4, result.Type());
        EXPECT_EQ(E_NOTIMPL, result.Get()->lVal);
    }

    // The container lets go of the control with its window: ours is then the last reference.
    ::DestroyWindow(holder);
    ::DestroyWindow(parent);
    testing_support::PumpFor(50);
    EXPECT_EQ(0u, control->Release());
    const HMODULE module = ::GetModuleHandleW(WindowsPath(NORVIX_DLL).c_str());
    const auto canUnload = win::GetProc<HRESULT(STDAPICALLTYPE*)()>(module, "DllCanUnloadNow");
    ASSERT_NE(nullptr, canUnload);
    EXPECT_TRUE(testing_support::WaitFor([canUnload] { return canUnload() == S_OK; }, 10000));
}
}  // namespace

TEST_F(AtlContainerTest, ContainerWindowCreatesAndSitesTheControlByProgIdAndReleasesIt)
{
    // Stays loaded: the container's window class lives in it.
    const HMODULE atl = win::LoadSystemLibrary(L"atl.dll").Release();
    ASSERT_NE(nullptr, atl) << "no atl.dll in the system folder";
    std::thread container([atl] {
        const HRESULT ole = ::OleInitialize(nullptr);
        EXPECT_EQ(S_OK, ole);
        HostInContainerWindow(atl);
        if (SUCCEEDED(ole))
        {
            ::OleUninitialize();
        }
    });
    container.join();
}

}  // namespace integration
