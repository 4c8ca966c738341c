#include "TestToolbarControl.h"

#include "toolbar/XToolbarWindow.h"
#include "win/ClassFactory.h"
#include "win/Window.h"

#include <new>

namespace
{
const wchar_t* const kButtonNames[5] = {
    L"CID_KEL_SEARCH", L"CID_KEL_LOGO", L"CID_PAVISE_STATUS", L"CID_NORVIX_UPDATE", L"CID_KEL_OPTIONS"};
} // namespace

TestToolbarControl::TestToolbarControl()
    : XToolbarController(CLSID_ToolbarTest, DIID_DToolbarTest, DIID_DToolbarTestEvents)
{
}

void TestToolbarControl::Note(const std::wstring& what) noexcept
{
    try
    {
        m_log->push_back(what);
    }
    catch (...)
    {
    }
}

HRESULT TestToolbarControl::StartupToolbar(IDispatch* browser, IDispatch* toolbar, const long commandIds[5])
{
    Note(L"StartupToolbar");
    const HRESULT hr = StartUp(browser, toolbar, kTestDispatcherWindowName);
    if (FAILED(hr))
    {
        return hr;
    }
    const HWND window = GetToolbarHwnd();
    if (window && win::Window::FromHandle(window))
    {
        Note(L"toolbar subclassed");
    }
    if (DispatcherHwnd())
    {
        Note(L"dispatcher window");
    }
    for (int i = 0; i < 5; ++i)
    {
        Map(kButtonNames[i], static_cast<UINT>(commandIds[i]));
    }
    Note(L"button maps");
    CreateButtonControl(L"CID_PAVISE_STATUS", 0x100);
    CreateButtonControl(L"CID_NORVIX_UPDATE", 0x101);
    Note(L"overlay buttons");
    return S_OK;
}

HRESULT TestToolbarControl::OnEvent(const std::wstring& eventName)
{
    Note(L"OnEvent " + eventName);
    return S_OK;
}

HRESULT TestToolbarControl::InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept
{
    try
    {
        HRESULT hr = E_FAIL;
        if (id == 1 && arguments.size() == 7)
        {
            long ids[5];
            for (int i = 0; i < 5; ++i)
            {
                ids[i] = arguments[2 + i].lVal;
            }
            hr = StartupToolbar(arguments[0].pdispVal, arguments[1].pdispVal, ids);
        }
        else if (id == 2 && arguments.size() == 1)
        {
            hr = OnEvent(arguments[0].bstrVal ? arguments[0].bstrVal : L"");
        }
        else
        {
            return DISP_E_MEMBERNOTFOUND;
        }
        result->vt = VT_I4;
        result->lVal = hr;
        return S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

void TestToolbarControl::ProcessControllerMessage(LPARAM value) noexcept
{
    Note(L"controller message " + std::to_wstring(value));
}

void TestToolbarControl::OnPostStartUp() noexcept
{
    Note(L"OnPostStartUp");
}

void TestToolbarControl::OnButtonClicked(const std::wstring& buttonName) noexcept
{
    Note(L"clicked " + buttonName);
}

XToolbarWindow* TestToolbarControl::CreateToolbarWindow() noexcept
{
    return new (std::nothrow) XToolbarWindow();
}

HRESULT CreateTestToolbarControl(REFIID iid, void** out) noexcept
{
    return win::CreateComObject<TestToolbarControl>(iid, out);
}
