#include "FakeBubbleOwner.h"

#include <commctrl.h>

namespace
{
const wchar_t kHostClass[] = L"Norvix.Test.Host";
}

bool FakeHostWindow::Open(POINT origin, int width) noexcept
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = WindowProcedure();
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    if (!RegisterClassOnce(windowClass) ||
        !Create(0, kHostClass, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
            RECT{origin.x, origin.y, origin.x + width, origin.y + 400}, nullptr, 0, windowClass.hInstance))
    {
        return false;
    }
    m_toolbar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_TOP | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 0, 0,
        Hwnd(), nullptr, windowClass.hInstance, nullptr);
    if (!m_toolbar)
    {
        return false;
    }
    ::SendMessageW(m_toolbar.load(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(m_toolbar.load(), TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    const wchar_t* const labels[] = {L"Search", L"Kel", L"Pavise", L"Update", L"Options"};
    TBBUTTON buttons[5]{};
    for (int i = 0; i < 5; ++i)
    {
        buttons[i].iBitmap = I_IMAGENONE;
        buttons[i].idCommand = 200 + i;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON | BTNS_SHOWTEXT | BTNS_AUTOSIZE;
        buttons[i].iString = reinterpret_cast<INT_PTR>(labels[i]);
    }
    ::SendMessageW(m_toolbar.load(), TB_ADDBUTTONSW, 5, reinterpret_cast<LPARAM>(buttons));
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    SetToolbarWidth(client.right);
    return true;
}

void FakeHostWindow::SetLogoHidden(bool hidden) noexcept
{
    ::SendMessageW(m_toolbar.load(), TB_HIDEBUTTON, kLogoCommand, MAKELPARAM(hidden ? TRUE : FALSE, 0));
}

void FakeHostWindow::SetLogoWidth(int width) noexcept
{
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_SIZE;
    info.cx = static_cast<WORD>(width);
    ::SendMessageW(m_toolbar.load(), TB_SETBUTTONINFOW, kLogoCommand, reinterpret_cast<LPARAM>(&info));
}

void FakeHostWindow::SetToolbarWidth(int width) noexcept
{
    ::SetWindowPos(m_toolbar.load(), nullptr, 0, 0, width, kToolbarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT FakeHostWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_SIZE && m_toolbar)
    {
        SetToolbarWidth(LOWORD(lParam));
    }
    if (message == WM_DESTROY)
    {
        m_toolbar = nullptr;
    }
    return Default(message, wParam, lParam);
}

std::wstring FakeBubbleOwner::GetHostString(const std::wstring& key, const std::wstring& defaultValue)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto found = m_strings.find(key);
    return found != m_strings.end() ? found->second : defaultValue;
}

void FakeBubbleOwner::SetString(const std::wstring& key, const std::wstring& value)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_strings[key] = value;
}

RECT FakeBubbleOwner::GetButtonScreenRect(const std::wstring& buttonName)
{
    ++m_rectQueries;
    const HWND watched = m_watched;
    m_lateQueries += watched && !::IsWindow(watched) ? 1 : 0;
    RECT rect{};
    const HWND toolbar = GetToolbarHwnd();
    if (buttonName != L"CID_KEL_LOGO" || !::IsWindow(toolbar) ||
        !::SendMessageW(toolbar, TB_GETRECT, FakeHostWindow::kLogoCommand, reinterpret_cast<LPARAM>(&rect)))
    {
        return RECT{};
    }
    ::MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
