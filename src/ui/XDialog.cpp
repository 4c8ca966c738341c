#include "ui/XDialog.h"

#include "ui/XGlobalGDI.h"

#include <vssym32.h>

namespace ui
{

namespace
{
BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) noexcept
{
    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}
}  // namespace

XDialog::~XDialog()
{
    CloseTheme();
}

void XDialog::OpenTheme() noexcept
{
    CloseTheme();
    if (Hwnd())
    {
        m_theme.Reset(::OpenThemeData(Hwnd(), L"SCROLLBAR"));
    }
}

void XDialog::CloseTheme() noexcept
{
    m_theme.Reset();
}

void XDialog::DrawSizeGrip(HDC dc, const RECT& rect) const noexcept
{
    RECT area = rect;
    if (m_theme)
    {
        ::DrawThemeBackground(m_theme.Get(), dc, SBP_SIZEBOX, SZB_RIGHTALIGN, &area, nullptr);
    }
    else
    {
        ::DrawFrameControl(dc, &area, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    }
}

BOOL XDialog::OnInitDialog()
{
    OpenTheme();
    // EnumChildWindows walks descendants at every level, not only the dialog's own children.
    if (const HFONT font = TheGlobalGDI().GetFont(GlobalFont::Normal8))
    {
        ::EnumChildWindows(Hwnd(), &SetFontOnChild, reinterpret_cast<LPARAM>(font));
    }
    return TRUE;
}

bool XDialog::DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_THEMECHANGED)
    {
        OpenTheme();
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
        return false;
    }
    return win::Dialog::DialogProc(message, wParam, lParam, result);
}

}  // namespace ui
