#include "FakeBubbleOwner.h"

#include <commctrl.h>

void FakeBubbleOwner::OpenHost()
{
    m_host.reset();
    m_host = std::make_unique<testing_support::TestToolbarWindow>(
        std::vector<testing_support::TestToolbarWindow::Button>{
            {200, 50}, {kLogoCommand, 40}, {202, 50}, {203, 50}, {204, 50}},
        680);
    m_toolbar = m_host->Toolbar();
}

void FakeBubbleOwner::SetLogoHidden(bool hidden) const noexcept
{
    ::SendMessageW(m_toolbar.load(), TB_HIDEBUTTON, kLogoCommand, MAKELPARAM(hidden ? TRUE : FALSE, 0));
}

void FakeBubbleOwner::SetLogoWidth(int width) const noexcept
{
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_SIZE;
    info.cx = static_cast<WORD>(width);
    ::SendMessageW(m_toolbar.load(), TB_SETBUTTONINFOW, kLogoCommand, reinterpret_cast<LPARAM>(&info));
}

void FakeBubbleOwner::SetToolbarWidth(int width) const noexcept
{
    RECT bar{};
    ::GetClientRect(m_toolbar.load(), &bar);
    ::SetWindowPos(m_toolbar.load(), nullptr, 0, 0, width, bar.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

RECT FakeBubbleOwner::GetButtonScreenRect(const std::wstring& buttonName)
{
    ++m_rectQueries;
    const HWND watched = m_watched;
    m_lateQueries += watched && !::IsWindow(watched) ? 1 : 0;
    RECT rect{};
    const HWND toolbar = GetToolbarHwnd();
    if (buttonName != L"CID_KEL_LOGO" || !::IsWindow(toolbar) ||
        !::SendMessageW(toolbar, TB_GETRECT, kLogoCommand, reinterpret_cast<LPARAM>(&rect)))
    {
        return RECT{};
    }
    ::MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
