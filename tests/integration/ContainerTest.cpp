// The real module in a container other than the toolbar host: a plain ActiveX container window creates it by
// ProgID and sites it.

#include "NorvixSystem.h"

#include "Core/NorvixIds.h"
#include "support/Wait.h"
#include "toolbar/HostToolbarInterface.h"
#include "win/ComPtr.h"
#include "win/Module.h"
#include "win/Variant.h"

#include <oleidl.h>

#include <thread>

namespace integration
{
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

using AtlContainerTest = NorvixSystemTest;

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

}  // namespace
}  // namespace integration
