#include "toolbar/XToolbarButtonControl.h"

#include "toolbar/HostToolbarInterface.h"
#include "toolbar/XToolbarController.h"
#include "win/Module.h"
#include "win/Scope.h"

#include <commctrl.h>
#include <vssym32.h>

#include <algorithm>

namespace toolbar
{

namespace
{

// The title as the toolbar shows it: its first "&" (a mnemonic marker) removed.
std::wstring ShownTitle(const std::wstring& title)
{
    std::wstring shown = title;
    if (const size_t amp = shown.find(L'&'); amp != std::wstring::npos)
    {
        shown.erase(amp, 1);
    }
    return shown;
}

bool SameRect(const RECT& a, const RECT& b) noexcept
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// An icon of the module at the given size; a 32-pixel request takes the system's standard icon size.
HICON LoadModuleIcon(UINT id, int cx, int cy, SIZE& size) noexcept
{
    UINT flags = LR_DEFAULTCOLOR;
    if (cx == 32 && cy == 32)
    {
        cx = 0;
        cy = 0;
        flags |= LR_DEFAULTSIZE;
    }
    const HICON icon =
        static_cast<HICON>(::LoadImageW(win::ThisModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, flags));
    size = {cx ? cx : ::GetSystemMetrics(SM_CXICON), cy ? cy : ::GetSystemMetrics(SM_CYICON)};
    return icon;
}

}  // namespace

XToolbarButtonControl::XToolbarButtonControl(XToolbarController& controller, std::wstring name) noexcept
    : m_controller(controller), m_name(std::move(name))
{
}

XToolbarButtonControl::~XToolbarButtonControl()
{
    Destroy();
    FreeFrames();
    FreeIcon();
}

bool XToolbarButtonControl::CreateOver(HWND toolbar, UINT controlId) noexcept
{
    RECT rect = m_controller.GetButtonScreenRect(m_name);
    if (!::IsWindow(toolbar))
    {
        return false;
    }
    ::MapWindowPoints(nullptr, toolbar, reinterpret_cast<POINT*>(&rect), 2);

    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.style = CS_DBLCLKS | CS_SAVEBITS;
    windowClass.lpfnWndProc = WindowProcedure();
    windowClass.hInstance = win::ThisModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassOnce(windowClass))
    {
        return false;
    }
    if (!Create(WS_EX_TRANSPARENT, kClassName, nullptr, WS_CHILD, rect, toolbar, controlId, win::ThisModule()))
    {
        return false;
    }
    m_theme.Reset(::OpenThemeData(Hwnd(), L"TOOLBAR"));
    ::ShowWindow(Hwnd(), SW_SHOWNA);

    m_tooltipControl.Reset(::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr, win::ThisModule(), nullptr));
    if (m_tooltipControl)
    {
        ::SendMessageW(m_tooltipControl.Get(), TTM_SETMAXTIPWIDTH, 0, 330);
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(Hwnd());
        tool.lpszText = const_cast<LPWSTR>(L"");
        ::SendMessageW(m_tooltipControl.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    PublishState();
    return true;
}

BOOL XToolbarButtonControl::SetVisibility(BOOL visible)
{
    visible = visible ? TRUE : FALSE;
    if (visible == m_visible)
    {
        return FALSE;
    }
    m_visible = visible;
    if (IsWindow())
    {
        ::ShowWindow(Hwnd(), visible ? SW_SHOW : SW_HIDE);
    }
    m_controller.SetButtonVisibility(m_name, visible);
    m_controller.HideButton(m_name, !visible);
    return TRUE;
}

BOOL XToolbarButtonControl::SetIcon(UINT iconId, int cx, int cy) noexcept
{
    if (iconId == m_iconId)
    {
        return FALSE;
    }
    StopSequence();
    FreeFrames();
    FreeIcon();
    SIZE size{};
    m_icon.Reset(LoadModuleIcon(iconId, cx, cy, size));
    m_iconId = iconId;
    m_iconSize = m_icon ? size : SIZE{0, 0};
    if (IsWindow())
    {
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
    }
    PublishState();
    return TRUE;
}

BOOL XToolbarButtonControl::SetIconSequence(const std::vector<UINT>& iconIds, int cx, int cy, UINT interval)
{
    StopSequence();
    FreeFrames();
    FreeIcon();
    // The single icon is gone: setting the same icon id again afterwards must load it anew.
    m_iconId = 0;
    m_iconSize = {0, 0};
    SIZE size{};
    for (const UINT id : iconIds)
    {
        if (win::IconHandle frame{LoadModuleIcon(id, cx, cy, size)})
        {
            m_frames.push_back(std::move(frame));
            m_frameIds.push_back(id);
        }
    }
    m_frameSize = m_frames.empty() ? SIZE{0, 0} : size;
    m_frameInterval = interval;
    return TRUE;
}

BOOL XToolbarButtonControl::SetTitle(const std::wstring& title)
{
    if (title == m_title)
    {
        return FALSE;
    }
    m_title = title;
    if (IsWindow())
    {
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
    }
    PublishState();
    return TRUE;
}

BOOL XToolbarButtonControl::SetTooltip(const std::wstring& tooltip)
{
    if (tooltip == m_tooltip)
    {
        return FALSE;
    }
    m_tooltip = tooltip;
    if (m_tooltipControl && IsWindow())
    {
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND;  // the tool is found by window handle, as it was added
        tool.hwnd = Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(Hwnd());
        tool.lpszText = m_tooltip.data();
        ::SendMessageW(m_tooltipControl.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(m_tooltipControl.Get(), TTM_UPDATE, 0, 0);
    }
    return TRUE;
}

BOOL XToolbarButtonControl::SetEnabled(BOOL enabled) noexcept
{
    enabled = enabled ? TRUE : FALSE;
    if (enabled == m_enabled)
    {
        return FALSE;
    }
    // The flag only gates the clicks: the window stays enabled, so it keeps getting the mouse messages that its
    // tooltip needs (a disabled window gets none, and a not-enabled state has a tooltip of its own). A press or a
    // hover under way ends as it would for a disabled window.
    m_enabled = enabled;
    if (!enabled && IsWindow())
    {
        ::KillTimer(Hwnd(), kHoverTimerId);
        m_hoverTimerRunning = FALSE;
        if (::GetCapture() == Hwnd())
        {
            ::ReleaseCapture();
        }
        ClearMouseState();
    }
    PublishState();
    return TRUE;
}

void XToolbarButtonControl::StartSequence() noexcept
{
    m_frameIndex = -1;
    AdvanceFrame();
    m_animating = TRUE;
    if (IsWindow())
    {
        ::SetTimer(Hwnd(), kFrameTimerId, m_frameInterval, nullptr);
    }
}

void XToolbarButtonControl::StopSequence() noexcept
{
    if (IsWindow())
    {
        ::KillTimer(Hwnd(), kFrameTimerId);
    }
    m_frameIndex = -1;
    m_animating = FALSE;
}

void XToolbarButtonControl::AdvanceFrame() noexcept
{
    if (m_frames.empty())
    {
        m_frameIndex = -1;
        return;
    }
    m_frameIndex = (m_frameIndex + 1) % static_cast<int>(m_frames.size());
    InvalidateIconArea();
    PublishState();
}

void XToolbarButtonControl::FreeFrames() noexcept
{
    m_frames.clear();
    m_frameIds.clear();
    m_frameSize = {0, 0};
}

void XToolbarButtonControl::FreeIcon() noexcept
{
    m_icon.Reset();
}

// What the button shows, for accessibility tools and for the host: the title as the window's text (its
// accessible name), and as window properties the resource id of the icon drawn now (the current frame's while a
// sequence runs) and whether it takes clicks.
void XToolbarButtonControl::PublishState() noexcept
{
    if (!IsWindow())
    {
        return;
    }
    ::SetWindowTextW(Hwnd(), m_title.c_str());
    UINT shown = m_icon ? m_iconId : 0;
    if (!m_icon && m_frameIndex >= 0 && m_frameIndex < static_cast<int>(m_frameIds.size()))
    {
        shown = m_frameIds[static_cast<size_t>(m_frameIndex)];
    }
    ::SetPropW(Hwnd(), host::kOverlayIconProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(shown)));
    ::SetPropW(Hwnd(), host::kOverlayCommandProperty,
        reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(m_controller.GetCommandId(m_name))));
    ::SetPropW(Hwnd(), host::kOverlayEnabledProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(m_enabled)));
}

SIZE XToolbarButtonControl::IconSize() const noexcept
{
    return m_icon ? m_iconSize : m_frameSize;
}

HICON XToolbarButtonControl::CurrentIcon() const noexcept
{
    if (m_icon)
    {
        return m_icon.Get();
    }
    if (m_frameIndex >= 0 && m_frameIndex < static_cast<int>(m_frames.size()))
    {
        return m_frames[static_cast<size_t>(m_frameIndex)].Get();
    }
    return nullptr;
}

void XToolbarButtonControl::InvalidateIconArea() noexcept
{
    if (!IsWindow())
    {
        return;
    }
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    const SIZE size = IconSize();
    const int top = std::max(0L, (client.bottom - size.cy) / 2);
    RECT area{IconGap(), top, IconGap() + size.cx, top + size.cy};
    ::InflateRect(&area, 1, 1);
    ::OffsetRect(&area, m_pressed ? 1 : 0, m_pressed ? 1 : 0);
    ::InvalidateRect(Hwnd(), &area, TRUE);
}

int XToolbarButtonControl::ComputeWidth() const
{
    const int iconWidth = IconSize().cx;
    int width = iconWidth > 0 ? IconGap() + iconWidth : 0;
    if (m_title.empty())
    {
        return width + IconGap();
    }
    int textWidth = 0;
    const HWND toolbar = IsWindow() ? ::GetParent(Hwnd()) : m_controller.GetToolbarHwnd();
    win::WindowDC dc(toolbar);
    if (dc)
    {
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(toolbar, WM_GETFONT, 0, 0));
        win::SelectScope selected(dc.Get(), font);
        const std::wstring shown = ShownTitle(m_title);
        SIZE extent{};
        if (::GetTextExtentPoint32W(dc.Get(), shown.c_str(), static_cast<int>(shown.size()), &extent))
        {
            textWidth = extent.cx;
        }
    }
    return width + TextGap() + textWidth + TextGap();
}

void XToolbarButtonControl::Fit()
{
    // A hidden item keeps its width; it is fitted when it is shown again.
    m_fitPending = m_controller.IsButtonHidden(m_controller.GetCommandId(m_name)) != FALSE;
    if (m_fitPending)
    {
        return;
    }
    const int width = ComputeWidth();
    if (width == m_controller.GetButtonWidth(m_name))
    {
        return;
    }
    m_controller.SetButtonWidth(m_name, width);
    // The items after this one moved too: every overlay is placed again, not only this one.
    m_controller.PlaceButtonControls();
    if (const HWND toolbar = m_controller.GetToolbarHwnd())
    {
        ::PostMessageW(toolbar, host::kMsgLayout, 0, 0);
    }
}

bool XToolbarButtonControl::HostItemRect(RECT& rect) const noexcept
{
    const HWND toolbar = IsWindow() ? ::GetParent(Hwnd()) : nullptr;
    const int index = m_controller.GetButtonIndex(m_name);
    if (!toolbar || index < 0)
    {
        return false;
    }
    return ::SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) != 0;
}

void XToolbarButtonControl::Place(Repaint repaint) noexcept
{
    RECT target{};
    if (!HostItemRect(target))
    {
        return;
    }
    RECT current{};
    ::GetWindowRect(Hwnd(), &current);
    ::MapWindowPoints(nullptr, ::GetParent(Hwnd()), reinterpret_cast<POINT*>(&current), 2);
    if (!SameRect(current, target))
    {
        ::MoveWindow(Hwnd(), target.left, target.top, target.right - target.left, target.bottom - target.top, FALSE);
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
    }
    else if (repaint == Repaint::Always)
    {
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
    }
}

void XToolbarButtonControl::EraseWithParent(HDC dc) noexcept
{
    const HWND parent = IsWindow() ? ::GetParent(Hwnd()) : nullptr;
    if (!parent)
    {
        return;
    }
    POINT origin{0, 0};
    ::MapWindowPoints(Hwnd(), parent, &origin, 1);
    win::SaveDCScope saved(dc);
    ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, nullptr);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
}

void XToolbarButtonControl::Paint(HDC dc) noexcept
{
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    win::SaveDCScope saved(dc);

    const bool disabled = IsWindow() && !::IsWindowEnabled(Hwnd());
    const bool pressed = m_pressed != FALSE;
    const bool hot = m_hot && !m_pressed && !m_mouseDown;
    const int offset = pressed ? 1 : 0;

    if (m_theme)
    {
        int state = TS_NORMAL;
        if (pressed)
        {
            state = TS_PRESSED;
        }
        else if (hot)
        {
            state = TS_HOT;
        }
        else if (disabled)
        {
            state = TS_DISABLED;
        }
        if (::IsThemeBackgroundPartiallyTransparent(m_theme.Get(), TP_BUTTON, state))
        {
            ::DrawThemeParentBackground(Hwnd(), dc, &client);
        }
        ::DrawThemeBackground(m_theme.Get(), dc, TP_BUTTON, state, &client, nullptr);
    }
    else
    {
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        if (pressed || hot)
        {
            const COLORREF topLeft = ::GetSysColor(pressed ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
            const COLORREF bottomRight = ::GetSysColor(pressed ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW);
            const LONG w = client.right - client.left;
            const LONG h = client.bottom - client.top;
            auto line = [dc](COLORREF colour, int x, int y, int cx, int cy) {
                ::SetBkColor(dc, colour);
                const RECT r{x, y, x + cx, y + cy};
                ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
            };
            line(topLeft, 0, 0, w - 1, 1);
            line(topLeft, 0, 0, 1, h - 1);
            line(bottomRight, w - 1, 0, 1, h);
            line(bottomRight, 0, h - 1, w, 1);
        }
    }

    const SIZE iconSize = IconSize();
    if (const HICON icon = CurrentIcon())
    {
        const int top = std::max(0L, (client.bottom - iconSize.cy) / 2);
        ::DrawIconEx(dc, IconGap() + offset, top + offset, icon, iconSize.cx, iconSize.cy, 0, nullptr, DI_NORMAL);
    }

    if (!m_title.empty())
    {
        RECT text = client;
        text.left = (iconSize.cx > 0 ? IconGap() + iconSize.cx : 0) + TextGap();
        text.right -= TextGap();
        ::OffsetRect(&text, offset, offset);
        const HWND parent = ::GetParent(Hwnd());
        const auto font = parent ? reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
        win::SelectScope selected(dc, font);
        constexpr UINT kFlags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
        if (m_theme)
        {
            int state = pressed ? TS_PRESSED : hot ? TS_HOT : disabled ? TS_DISABLED : TS_NORMAL;
            ::DrawThemeText(m_theme.Get(), dc, TP_BUTTON, state, m_title.c_str(), -1, kFlags, 0, &text);
        }
        else
        {
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
            ::DrawTextW(dc, m_title.c_str(), -1, &text, kFlags);
        }
    }
}

void XToolbarButtonControl::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (!m_tooltipControl)
    {
        return;
    }
    MSG relayed{Hwnd(), message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
    relayed.pt.x = static_cast<short>(LOWORD(lParam));
    relayed.pt.y = static_cast<short>(HIWORD(lParam));
    ::SendMessageW(m_tooltipControl.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

bool XToolbarButtonControl::Track(POINT point, LeftButton leftButton) noexcept
{
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    const bool inside = ::PtInRect(&client, point) != FALSE;
    if (m_mouseDown && leftButton == LeftButton::Held)
    {
        if ((m_pressed != FALSE) != inside)
        {
            m_pressed = inside;
            ::InvalidateRect(Hwnd(), nullptr, TRUE);
        }
    }
    else if ((m_hot != FALSE) != inside)
    {
        m_hot = inside;
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
    }
    return inside;
}

void XToolbarButtonControl::ClearMouseState() noexcept
{
    if (m_mouseDown || m_pressed || m_hot)
    {
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
    }
    m_mouseDown = FALSE;
    m_pressed = FALSE;
    m_hot = FALSE;
}

LRESULT XToolbarButtonControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)
    {
        RelayToTooltip(message, wParam, lParam);
    }
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message)
    {
    case WM_MOUSEMOVE:
        if (m_enabled && Track(point, (wParam & MK_LBUTTON) != 0 ? LeftButton::Held : LeftButton::Up) &&
            !m_hoverTimerRunning)
        {
            m_hoverTimerRunning = ::SetTimer(Hwnd(), kHoverTimerId, kHoverInterval, nullptr) != 0;
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (m_enabled)
        {
            ::SetFocus(Hwnd());
            m_mouseDown = TRUE;
            ::SetCapture(Hwnd());
            Track(point, LeftButton::Held);
        }
        return 0;
    case WM_LBUTTONUP:
        if (m_enabled)
        {
            // A release outside the control is no click, even without a move out before it.
            Track(point, LeftButton::Held);
            const bool click = ::GetCapture() == Hwnd() && m_pressed;
            m_mouseDown = FALSE;
            m_pressed = FALSE;
            m_hot = FALSE;
            ::ReleaseCapture();
            ::InvalidateRect(Hwnd(), nullptr, TRUE);
            if (click)
            {
                // Last: the handler calls into the host, which may start the control again (every overlay goes,
                // this one and its name with it) or release it. So the handler gets a copy of the name, and a
                // reference keeps the control alive until it returns; that release may destroy this object.
                XToolbarController& controller = m_controller;
                const std::wstring name = m_name;
                controller.InternalAddRef();
                const win::ScopeExit release([&controller]() noexcept { controller.InternalRelease(); });
                controller.OnButtonClicked(name);
            }
        }
        return 0;
    case WM_CAPTURECHANGED: ClearMouseState(); return 0;
    case WM_TIMER:
        if (wParam == kHoverTimerId)
        {
            POINT cursor{};
            ::GetCursorPos(&cursor);
            ::ScreenToClient(Hwnd(), &cursor);
            if (!Track(cursor, ::GetKeyState(VK_LBUTTON) < 0 ? LeftButton::Held : LeftButton::Up))
            {
                ::KillTimer(Hwnd(), kHoverTimerId);
                m_hoverTimerRunning = FALSE;
            }
            return 0;
        }
        if (wParam == kFrameTimerId)
        {
            AdvanceFrame();
            return 0;
        }
        break;
    case WM_ERASEBKGND: EraseWithParent(reinterpret_cast<HDC>(wParam)); return 1;
    case WM_PAINT:
    {
        win::PaintScope paint(Hwnd());
        if (paint.Get())
        {
            Paint(paint.Get());
        }
        return 0;
    }
    case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_SIZE:
    {
        const LRESULT result = Default(message, wParam, lParam);
        if (!m_controller.IsShuttingDown())
        {
            ::RedrawWindow(Hwnd(), nullptr, nullptr,
                RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
            ::UpdateWindow(Hwnd());
        }
        return result;
    }
    case WM_THEMECHANGED:
        // Visual styles switched: the look and the gaps change, so the item is fitted again.
        m_theme.Reset(::OpenThemeData(Hwnd(), L"TOOLBAR"));
        ::InvalidateRect(Hwnd(), nullptr, TRUE);
        Fit();
        return 0;
    case WM_DESTROY:
        ::RemovePropW(Hwnd(), host::kOverlayIconProperty);
        ::RemovePropW(Hwnd(), host::kOverlayCommandProperty);
        ::RemovePropW(Hwnd(), host::kOverlayEnabledProperty);
        ::KillTimer(Hwnd(), kHoverTimerId);
        m_hoverTimerRunning = FALSE;
        StopSequence();
        FreeFrames();
        FreeIcon();
        m_iconId = 0;
        m_theme.Reset();
        m_tooltipControl.Reset();
        break;
    default: break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace toolbar
