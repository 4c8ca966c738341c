#include "TestToolbarControl.h"

#include "toolbar/XToolbarWindow.h"
#include "win/ClassFactory.h"

#include <new>

void TestToolbarControl::Note(const std::wstring& what) noexcept
{
    try
    {
        m_log.push_back(what);
    }
    catch (...)
    {
    }
}

HRESULT TestToolbarControl::StartupToolbar(IDispatch* browser, IDispatch* toolbar, const long commandIds[5])
{
    const HRESULT hr = StartUp(browser, toolbar, kTestDispatcherWindowName);
    if (FAILED(hr))
    {
        return hr;
    }
    const wchar_t* const names[5] = {
        L"CID_KEL_SEARCH", L"CID_KEL_LOGO", L"CID_PAVISE_STATUS", L"CID_NORVIX_UPDATE", L"CID_KEL_OPTIONS"};
    for (int i = 0; i < 5; ++i)
    {
        MapButton(names[i], static_cast<UINT>(commandIds[i]));
    }
    CreateButtonControl(L"CID_PAVISE_STATUS", 0x100);
    CreateButtonControl(L"CID_NORVIX_UPDATE", 0x101);
    return S_OK;
}

HRESULT TestToolbarControl::InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept
{
    if (id == 2 && arguments.size() == 1)
    {
        Note(std::wstring(L"event ") + (arguments[0].bstrVal ? arguments[0].bstrVal : L"<null>"));
        return S_OK;
    }
    if (id != 1 || arguments.size() != 7)
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    const long ids[5] = {arguments[2].lVal, arguments[3].lVal, arguments[4].lVal, arguments[5].lVal, arguments[6].lVal};
    result->vt = VT_I4;
    result->lVal = StartupToolbar(arguments[0].pdispVal, arguments[1].pdispVal, ids);
    return S_OK;
}

toolbar::XToolbarWindow* TestToolbarControl::CreateToolbarWindow() noexcept
{
    return new (std::nothrow) toolbar::XToolbarWindow();
}

HRESULT CreateTestToolbarControl(REFIID iid, void** out) noexcept
{
    return win::CreateComObject<TestToolbarControl>(iid, out);
}
