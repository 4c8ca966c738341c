// A COM server holding the test control, registered in the test prefix and created by KelHost.exe through
// COM exactly as a host creates a product control. Besides what the test control does, it shows an icon
// and a title on its status overlay at start-up, navigates to a page named after a clicked button, and
// marks the first post-start-up of the module on the logo's tooltip, and answers the event "Ping" by raising the
// toolbar event "Pong" (and a refused one with a quote in its name).

#include "TestToolbarControl.h"

#include "res/TestIcons.h"
#include "win/ClassFactory.h"
#include "win/ComModule.h"
#include "win/ComRegistration.h"
#include "win/Module.h"

#include <olectl.h>

namespace
{

class HostedTestControl final : public TestToolbarControl
{
public:
    HostedTestControl() = default;

protected:
    HRESULT InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept override
    {
        const HRESULT hr = TestToolbarControl::InvokeMember(id, arguments, result);
        try
        {
            if (id == 1 && SUCCEEDED(hr) && result->vt == VT_I4 && SUCCEEDED(result->lVal))
            {
                m_layoutAnchorButton = L"CID_NORVIX_UPDATE";
                UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_GREEN, 16, 16, L"Protected", L"All is well", TRUE, TRUE,
                    TRUE);
                UpdateButton(L"CID_NORVIX_UPDATE", IDI_TEST_RED, 16, 16, L"Update", L"Update now", TRUE, TRUE, TRUE);
                SetButtonTitle(L"CID_KEL_LOGO", L"Test");
            }
            else if (id == 2 && arguments.size() == 1 && arguments[0].bstrVal &&
                     std::wstring(arguments[0].bstrVal) == L"Ping")
            {
                FireToolbarEvent(L"Bad\"Name", 1);
                FireToolbarEvent(L"Pong", 2);
            }
        }
        catch (...)
        {
            return E_OUTOFMEMORY;
        }
        return hr;
    }

    void OnPostStartUp() noexcept override
    {
        TestToolbarControl::OnPostStartUp();
        try
        {
            SetButtonTooltip(L"CID_KEL_LOGO", L"first start");
        }
        catch (...)
        {
        }
    }

    void OnButtonClicked(const std::wstring& buttonName) noexcept override
    {
        TestToolbarControl::OnButtonClicked(buttonName);
        try
        {
            Navigate(L"http://127.0.0.1/clicked/" + buttonName, FALSE);
        }
        catch (...)
        {
        }
    }
};

const win::ClassEntry kClasses[] = {{&CLSID_ToolbarTest, &win::CreateComObject<HostedTestControl>}};

win::ControlRegistration Registration()
{
    return {CLSID_ToolbarTest, L"KelToolbarTest.Control", L"Toolbar test control",
        win::ModuleFileName(win::ThisModule()), 1000, kTestMiscStatus, LIBID_ToolbarTest, 1, 0};
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) noexcept
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out)
{
    return win::GetClassObject(kClasses, classId, iid, out);
}

STDAPI DllCanUnloadNow()
{
    return win::ModuleCanUnloadNow();
}

STDAPI DllRegisterServer()
{
    try
    {
        if (FAILED(win::RegisterTypeLibraryOf(win::ModuleFileName(win::ThisModule()))))
        {
            return SELFREG_E_TYPELIB;
        }
        return FAILED(win::RegisterControl(Registration())) ? SELFREG_E_CLASS : S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer()
{
    if (FAILED(win::UnregisterTypeLibrary(win::ModuleFileName(win::ThisModule()), LIBID_ToolbarTest, 1, 0)))
    {
        return SELFREG_E_TYPELIB;
    }
    return FAILED(win::UnregisterControl(CLSID_ToolbarTest, L"KelToolbarTest.Control")) ? SELFREG_E_CLASS : S_OK;
}
