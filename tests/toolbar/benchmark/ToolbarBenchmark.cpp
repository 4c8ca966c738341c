// Prints how long a host waits from creating the test control through COM to the return of its
// StartupToolbar call: class factory, unlock, dispatch call from the type library, base start-up (browser,
// host object, toolbar subclass, dispatcher window) and two overlay buttons. The median of many runs.
// With KelHost.exe built, also how long the host takes to open a tab (creating and starting the test
// control through COM from its registered server) and close it again.

#include "TestToolbarControl.h"
#include "support/ChildProcess.h"
#include "support/FakeBrowser.h"
#include "support/FakeDispatch.h"
#include "support/TestToolbarWindow.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/ClassFactory.h"
#include "win/ComPtr.h"
#include "win/MessagePump.h"
#include "win/Scope.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace
{

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

#ifdef KELHOST_EXE
std::wstring WindowsPath(const char* path)
{
    std::wstring result = L"Z:";
    for (const char* c = path; *c; ++c)
    {
        result += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return result;
}

using RegisterFunction = HRESULT(STDAPICALLTYPE*)();

// Opens and closes one tab at a time in a running host; the median of the round trips.
void MeasureHostTabs()
{
    const HMODULE module = ::LoadLibraryW(WindowsPath(TOOLBAR_TEST_CONTROL_DLL).c_str());
    const auto registerServer = module ? reinterpret_cast<RegisterFunction>(
                                             reinterpret_cast<void*>(::GetProcAddress(module, "DllRegisterServer")))
                                       : nullptr;
    if (!registerServer || FAILED(registerServer()))
    {
        std::printf("test control registration failed\n");
        return;
    }
    {
        testing_support::ChildProcess host;
        if (!host.Start(L"\"" + WindowsPath(KELHOST_EXE) + L"\" --progid KelToolbarTest.Control --tabs 0") ||
            !host.WaitForLine("ready tabs=0", 30000))
        {
            std::printf("KelHost did not start\n");
            return;
        }
        constexpr int kTabs = 25;
        std::vector<double> times;
        for (int tab = 1; tab <= kTabs; ++tab)
        {
            const std::string number = std::to_string(tab);
            const auto start = std::chrono::steady_clock::now();
            host.Send("open");
            host.Send("close " + number);
            if (!host.WaitForLine("tab " + number + " closed", 30000))
            {
                std::printf("tab %d did not close\n", tab);
                return;
            }
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        host.Send("quit");
        host.WaitForExit(15000);
        std::printf("KelHost open and close of one tab with the control, %d tabs: median %.3f ms\n", kTabs,
            Median(times));
    }
    const auto unregisterServer =
        reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(::GetProcAddress(module, "DllUnregisterServer")));
    unregisterServer();
    ::FreeLibrary(module);
}
#endif

} // namespace

int main()
{
    win::ComInit com;
    const win::ClassEntry classes[] = {{&CLSID_ToolbarTest, &CreateTestToolbarControl}};
    win::ComPtr<IUnknown> factory;
    if (FAILED(win::GetClassObject(classes, CLSID_ToolbarTest, IID_IUnknown, factory.PutVoid())))
    {
        return 1;
    }
    DWORD registration = 0;
    if (FAILED(::CoRegisterClassObject(CLSID_ToolbarTest, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
            &registration)))
    {
        std::printf("class object registration failed\n");
        return 1;
    }

    testing_support::TestToolbarWindow toolbar({{203, 40}, {202, 30}, {204, 44}, {201, 50}, {104, 10}, {105, 20},
        {205, 36}});
    testing_support::FakeBrowser browser;
    testing_support::FakeDispatch host;
    host.SetHandler([&toolbar](DISPID, const std::vector<VARIANT*>&, VARIANT* result) {
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(toolbar.Toolbar()));
        return S_OK;
    });

    constexpr int kRuns = 60;
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run)
    {
        const auto start = std::chrono::steady_clock::now();
        win::ComPtr<IDispatch> control;
        if (FAILED(::CoCreateInstance(CLSID_ToolbarTest, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                control.PutVoid())))
        {
            std::printf("creation failed\n");
            return 1;
        }
        win::ComPtr<IToolbarSecurity> security;
        if (FAILED(control->QueryInterface(__uuidof(IToolbarSecurity), security.PutVoid())) ||
            FAILED(security->EnableToolbarScripting()))
        {
            return 1;
        }
        VARIANT arguments[7];
        const long ids[5] = {201, 202, 203, 204, 205};
        for (int i = 0; i < 5; ++i)
        {
            arguments[4 - i].vt = VT_I4;
            arguments[4 - i].lVal = ids[i];
        }
        arguments[5].vt = VT_DISPATCH;
        arguments[5].pdispVal = &host;
        arguments[6].vt = VT_DISPATCH;
        arguments[6].pdispVal = &browser;
        DISPPARAMS params{arguments, nullptr, 7, 0};
        VARIANT result;
        ::VariantInit(&result);
        const HRESULT hr = control->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
            nullptr, nullptr);
        const auto end = std::chrono::steady_clock::now();
        if (FAILED(hr) || result.vt != VT_I4 || result.lVal != S_OK)
        {
            std::printf("StartupToolbar failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        security.Reset();
        control.Reset();
        win::PumpPendingMessages();
    }
    ::CoRevokeClassObject(registration);
    std::printf("CoCreateInstance to StartupToolbar return, %d runs: median %.3f ms\n", kRuns, Median(times));
#ifdef KELHOST_EXE
    MeasureHostTabs();
#endif
    return 0;
}
