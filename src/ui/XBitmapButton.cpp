#include "ui/XBitmapButton.h"

#include "ui/XMemoryDC.h"
#include "win/Scope.h"

#include <windowsx.h>

namespace ui
{

bool XBitmapButton::Setup(HWND parent, int controlId, COLORREF background, UINT normalId, UINT hotId, UINT pressedId,
    UINT disabledId, const wchar_t* disabledFallbackName) noexcept
{
    const HWND control = parent ? ::GetDlgItem(parent, controlId) : nullptr;
    if (!control || (Hwnd() != control && !Subclass(control)))
    {
        return false;
    }
    m_parent = parent;
    const UINT ids[] = {normalId, hotId, pressedId, disabledId};
    for (std::size_t i = 0; i < m_images.size(); ++i)
    {
        m_images[i].SetTransparentColor(background);
        (void)m_images[i].Load(ids[i]);
    }
    if (!m_images[Disabled].IsLoaded() && disabledFallbackName)
    {
        (void)m_images[Disabled].LoadNamed(disabledFallbackName);
    }
    const SIZE size = m_images[Normal].GetSize();
    if (size.cx > 0 && size.cy > 0)
    {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        ::SetWindowPos(control, nullptr, rect.left, rect.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Repaint();
    return true;
}

XBitmapButton::Image XBitmapButton::CurrentImage() const noexcept
{
    const bool disabled = Hwnd() && !::IsWindowEnabled(Hwnd());
    const bool pressed = m_pressed && !disabled;
    const bool hot = m_mouseOver && !pressed && !disabled;
    if (pressed)
    {
        return Pressed;
    }
    if (hot)
    {
        return Hot;
    }
    return disabled ? Disabled : Normal;
}

void XBitmapButton::Click() noexcept
{
    const HWND self = Hwnd();
    if (m_parent && self)
    {
        // Last thing done: the parent may destroy this window while handling the command.
        ::SendMessageW(
            m_parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(self), BN_CLICKED), reinterpret_cast<LPARAM>(self));
    }
}

void XBitmapButton::Repaint() noexcept
{
    if (Hwnd())
    {
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
    }
}

void XBitmapButton::Paint(HDC dc) noexcept
{
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    XMemoryDC memory(dc, client);
    const HDC target = memory.Get();
    // Whatever the images leave uncovered shows the button face, as a push button's does.
    ::FillRect(target, &client, ::GetSysColorBrush(COLOR_BTNFACE));

    Image image = CurrentImage();
    if (!m_images[image].IsLoaded())
    {
        image = Normal;
    }
    if (const HBITMAP bitmap = m_images[image].Get())
    {
        const SIZE size = m_images[image].GetSize();
        const win::MemoryDC source(::CreateCompatibleDC(target));
        const win::SelectScope select(source.Get(), bitmap);
        ::BitBlt(target, 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
        return;
    }
    // No picture at all: a plain cross, so the button can still be found and clicked.
    const win::Pen pen(::CreatePen(PS_SOLID, 2, ::GetSysColor(image == Disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT)));
    const win::SelectScope select(target, pen.Get());
    const int inset = 3;
    ::MoveToEx(target, client.left + inset, client.top + inset, nullptr);
    ::LineTo(target, client.right - inset, client.bottom - inset);
    ::MoveToEx(target, client.right - inset, client.top + inset, nullptr);
    ::LineTo(target, client.left + inset, client.bottom - inset);
}

bool XBitmapButton::HitTest(POINT point) noexcept
{
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    const bool inClient = ::PtInRect(&client, point) != FALSE;
    // The high bit of GetKeyState says the button is down; the low bit is only its toggle state.
    if (m_mouseDown && (::GetKeyState(VK_LBUTTON) & 0x8000) != 0)
    {
        if (inClient != m_pressed)
        {
            m_pressed = inClient;
            Repaint();
        }
        return inClient;
    }
    const bool inside = inClient && ::IsWindowEnabled(Hwnd());
    if (inside != m_mouseOver)
    {
        m_mouseOver = inside;
        Repaint();
    }
    return inside;
}

LRESULT XBitmapButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message)
    {
    case WM_NCHITTEST:  // NOLINT(bugprone-branch-clone): HTCLIENT and "erased" (WM_ERASEBKGND) are both 1
        // The template's static placeholder would let the mouse through to the dialog.
        return HTCLIENT;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
    {
        const win::PaintScope paint(Hwnd());
        Paint(paint.Get());
        return 0;
    }
    case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_MOUSEMOVE:
        if (HitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) && !m_timerRunning)
        {
            m_timerRunning = ::SetTimer(Hwnd(), kHoverTimer, kHoverInterval, nullptr) != 0;
        }
        return 0;
    case WM_TIMER:
        if (wParam == kHoverTimer)
        {
            ::KillTimer(Hwnd(), kHoverTimer);
            m_timerRunning = false;
            POINT cursor{};
            ::GetCursorPos(&cursor);
            ::ScreenToClient(Hwnd(), &cursor);
            if (HitTest(cursor))
            {
                m_timerRunning = ::SetTimer(Hwnd(), kHoverTimer, kHoverInterval, nullptr) != 0;
            }
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (::IsWindowEnabled(Hwnd()))
        {
            ::SetCapture(Hwnd());
            m_mouseDown = true;
            m_pressed = true;
            Repaint();
        }
        return 0;
    case WM_LBUTTONUP:
    {
        const bool click = ::GetCapture() == Hwnd() && m_pressed;
        m_mouseDown = false;  // before ReleaseCapture, whose WM_CAPTURECHANGED must not see a press
        m_pressed = false;
        ::ReleaseCapture();
        if (click)
        {
            m_mouseOver = false;
            Repaint();
            Click();
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        m_mouseDown = false;
        if (m_pressed)
        {
            m_pressed = false;
            Repaint();
        }
        return 0;
    case WM_KEYDOWN:
        if ((wParam == VK_RETURN || wParam == VK_SPACE) && (::GetWindowLongW(Hwnd(), GWL_STYLE) & WS_TABSTOP) != 0)
        {
            Click();
            return 0;
        }
        break;
    case WM_ENABLE:
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        ::UpdateWindow(Hwnd());
        break;
    case WM_DESTROY:
        if (m_timerRunning)
        {
            ::KillTimer(Hwnd(), kHoverTimer);
            m_timerRunning = false;
        }
        m_mouseDown = m_pressed = m_mouseOver = false;
        break;
    default: break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace ui
