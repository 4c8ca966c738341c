#include "bubble/XToolbarBubbleDialog.h"

#include "platform/OSVersion.h"
#include "ui/XMemoryDC.h"
#include "win/Module.h"
#include "win/Scope.h"

#include <uxtheme.h>

#include <vector>

namespace bubble
{

namespace
{
// Posted by the tracking thread: the bubble has been moved (lay out the controls) or shown (paint it now).
constexpr UINT kMovedMessage = WM_APP + 0x2B1;
constexpr UINT kShownMessage = WM_APP + 0x2B2;

constexpr DWORD kTrackingIntervalMs = 10;
constexpr DWORD kShowAnimationDelayMs = 250;
// A requested move that has not shown up in the window rectangle after this many passes is asked for again.
constexpr unsigned kMoveRetryPasses = 10;

bool IsUnscaledPiece(std::size_t index) noexcept
{
    return index == 0 || index == 1 || index == 3 || index == 4;
}

SIZE BitmapSize(HBITMAP bitmap) noexcept
{
    BITMAP info{};
    if (!bitmap || ::GetObjectW(bitmap, sizeof(info), &info) != sizeof(info))
    {
        return SIZE{0, 0};
    }
    return SIZE{info.bmWidth, std::abs(info.bmHeight)};
}

bool SameRect(const RECT& a, const RECT& b) noexcept
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Vertical distance between the button's bottom and the bubble's top: the toolbars of the systems draw
// their buttons' lower edge differently. Decided once per process.

// Adds to `region` one rectangle per run of non-transparent pixels of each row of `bitmap` drawn at `at`.
void AddOpaqueRuns(HRGN region, HBITMAP bitmap, POINT at, COLORREF transparent)
{
    const SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
    {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    const win::WindowDC screen(nullptr);
    if (::GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(size.cy), pixels.data(), &info, DIB_RGB_COLORS) == 0)
    {
        return;
    }
    const auto isTransparent = [&](const RGBQUAD& p) {
        return RGB(p.rgbRed, p.rgbGreen, p.rgbBlue) == (transparent & 0x00FFFFFF);
    };
    for (LONG y = 0; y < size.cy; ++y)
    {
        const RGBQUAD* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx);
        LONG x = 0;
        while (x < size.cx)
        {
            while (x < size.cx && isTransparent(row[x]))
            {
                ++x;
            }
            const LONG start = x;
            while (x < size.cx && !isTransparent(row[x]))
            {
                ++x;
            }
            if (x > start)
            {
                const win::RegionHandle run(::CreateRectRgn(at.x + start, at.y + y, at.x + x, at.y + y + 1));
                ::CombineRgn(region, region, run.Get(), RGN_OR);
            }
        }
    }
}

void AddRect(HRGN region, const RECT& rect) noexcept
{
    if (rect.right > rect.left && rect.bottom > rect.top)
    {
        const win::RegionHandle part(::CreateRectRgnIndirect(&rect));
        ::CombineRgn(region, region, part.Get(), RGN_OR);
    }
}
}  // namespace

XToolbarBubbleDialog::XToolbarBubbleDialog(UINT templateId, ui::XBubbleOwner* owner, std::wstring anchorButtonName,
    const FrameIds& frameIds, const CloseIds& closeIds) noexcept
    : m_owner(owner),
      m_anchorButtonName(std::move(anchorButtonName)),
      m_templateId(templateId),
      m_frameIds(frameIds),
      m_closeIds(closeIds)
{
}

XToolbarBubbleDialog::~XToolbarBubbleDialog()
{
    StopTracking();
    Destroy();
}

bool XToolbarBubbleDialog::CreateBubble(HWND parentWindow) noexcept
{
    return Create(m_templateId, parentWindow);
}

bool XToolbarBubbleDialog::CloseBubble() noexcept
{
    Destroy();
    return true;
}

void XToolbarBubbleDialog::GetAnchorRect(RECT&) noexcept
{
}

int XToolbarBubbleDialog::VerticalOffsetFor(bool windows2000OrXP, bool vistaOrLater, bool themeActive) noexcept
{
    if (windows2000OrXP)
    {
        return 1;
    }
    if (vistaOrLater)
    {
        return themeActive ? -1 : 1;
    }
    return 0;
}

int XToolbarBubbleDialog::VerticalOffset() noexcept
{
    // The version tests are made once per process; the visual style can change at any time.
    static const bool windows2000OrXP = platform::IsWindows2000OrXP() != FALSE;
    static const bool vistaOrLater = platform::IsVistaOrLater() != FALSE;
    return VerticalOffsetFor(windows2000OrXP, vistaOrLater, ::IsThemeActive() != FALSE);
}

XToolbarBubbleDialog::FrameRects XToolbarBubbleDialog::PlaceFrame(
    const RECT& client, const FrameSizes& s, RECT& inner) noexcept
{
    FrameRects r{};
    r[0] = RECT{client.left, client.top, client.left + s[0].cx, client.top + s[0].cy};
    r[1] = RECT{client.right - s[1].cx, r[0].bottom - s[1].cy, client.right, r[0].bottom};
    r[2] = RECT{r[0].right, r[0].bottom - s[2].cy, r[1].left, r[0].bottom};
    r[3] = RECT{client.left, client.bottom - s[3].cy, client.left + s[3].cx, client.bottom};
    r[4] = RECT{client.right - s[4].cx, client.bottom - s[4].cy, client.right, client.bottom};
    r[5] = RECT{r[3].right, r[3].bottom - s[5].cy, r[4].left, r[3].bottom};
    r[6] = RECT{r[3].left, r[0].bottom, r[3].right, r[3].top};
    r[7] = RECT{r[1].left, r[1].bottom, r[1].right, r[4].top};
    inner = RECT{r[6].right, r[0].bottom, r[7].left, r[5].top};
    return r;
}

win::RegionHandle XToolbarBubbleDialog::BuildFrameRegion(
    const RECT& client, const std::array<HBITMAP, kFramePieces>& pieces, COLORREF transparent)
{
    win::RegionHandle region(::CreateRectRgn(0, 0, 0, 0));
    if (!region)
    {
        return region;
    }
    FrameSizes sizes{};
    for (std::size_t i = 0; i < kFramePieces; ++i)
    {
        sizes[i] = BitmapSize(pieces[i]);
    }
    RECT inner{};
    const FrameRects rects = PlaceFrame(client, sizes, inner);
    for (std::size_t i = 0; i < kFramePieces; ++i)
    {
        if (!pieces[i])
        {
            continue;
        }
        if (IsUnscaledPiece(i))
        {
            AddOpaqueRuns(region.Get(), pieces[i], POINT{rects[i].left, rects[i].top}, transparent);
        }
        else
        {
            AddRect(region.Get(), rects[i]);
        }
    }
    AddRect(region.Get(), inner);
    return region;
}

void XToolbarBubbleDialog::LoadFrame() noexcept
{
    const HMODULE module = win::ThisModule();
    for (std::size_t i = 0; i < m_frame.size(); ++i)
    {
        // DIB sections keep the pictures' colours exact whatever the screen's depth.
        m_frame[i].Reset(static_cast<HBITMAP>(
            ::LoadImageW(module, MAKEINTRESOURCEW(m_frameIds[i]), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
    m_transparentColor = RGB(255, 0, 255);
    if (const HBITMAP key = m_frame[kFramePieces].Get())
    {
        const win::MemoryDC dc(::CreateCompatibleDC(nullptr));
        const win::SelectScope select(dc.Get(), key);
        const COLORREF pixel = ::GetPixel(dc.Get(), 0, 0);
        if (pixel != CLR_INVALID)
        {
            m_transparentColor = pixel;
        }
    }
}

void XToolbarBubbleDialog::MakeBackgroundBrush() noexcept
{
    m_backgroundBrush.Reset(::CreateSolidBrush(GetBackgroundColor()));
}

BOOL XToolbarBubbleDialog::OnInitDialog()
{
    ui::XDialog::OnInitDialog();
    LoadFrame();
    MakeBackgroundBrush();
    (void)m_closeButton.Setup(Hwnd(), IDCANCEL, GetBackgroundColor(), m_closeIds[0], m_closeIds[1], m_closeIds[2],
        m_closeIds[3], GetDisabledCloseImageName());
    StartTracking();
    return FALSE;  // a notification must not take the focus
}

void XToolbarBubbleDialog::OnDestroy() noexcept
{
    StopTracking();
}

void XToolbarBubbleDialog::Paint(HDC dc)
{
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    ui::XMemoryDC memory(dc, client);
    const HDC target = memory.Get();
    ::FillRect(target, &client, m_backgroundBrush.Get());

    std::array<HBITMAP, kFramePieces> pieces{};
    FrameSizes sizes{};
    for (std::size_t i = 0; i < kFramePieces; ++i)
    {
        pieces[i] = m_frame[i].Get();
        sizes[i] = BitmapSize(pieces[i]);
    }
    RECT inner{};
    const FrameRects rects = PlaceFrame(client, sizes, inner);
    const win::MemoryDC source(::CreateCompatibleDC(target));
    for (std::size_t i = 0; i < kFramePieces; ++i)
    {
        if (!pieces[i])
        {
            continue;
        }
        const win::SelectScope select(source.Get(), pieces[i]);
        const RECT& r = rects[i];
        if (IsUnscaledPiece(i))
        {
            ::BitBlt(target, r.left, r.top, sizes[i].cx, sizes[i].cy, source.Get(), 0, 0, SRCCOPY);
        }
        else if (r.right > r.left && r.bottom > r.top)
        {
            ::StretchBlt(target, r.left, r.top, r.right - r.left, r.bottom - r.top, source.Get(), 0, 0, sizes[i].cx,
                sizes[i].cy, SRCCOPY);
        }
    }

    // Setting a region repaints the window, so it is set only when it changes; otherwise every paint would
    // ask for the next one.
    win::RegionHandle region = BuildFrameRegion(client, pieces, m_transparentColor);
    if (region)
    {
        win::RegionHandle current(::CreateRectRgn(0, 0, 0, 0));
        const bool same =
            current && ::GetWindowRgn(Hwnd(), current.Get()) != ERROR && ::EqualRgn(current.Get(), region.Get());
        if (!same && ::SetWindowRgn(Hwnd(), region.Get(), TRUE))
        {
            (void)region.Release();  // the window owns it now
        }
    }
}

bool XToolbarBubbleDialog::DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_CTLCOLORSTATIC: ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT); [[fallthrough]];
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
        if (m_backgroundBrush)
        {
            result = reinterpret_cast<LRESULT>(m_backgroundBrush.Get());
            return true;
        }
        return false;
    case WM_SYSCOLORCHANGE:
        MakeBackgroundBrush();
        for (HWND child = ::GetWindow(Hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        {
            ::SendMessageW(child, WM_SYSCOLORCHANGE, wParam, lParam);
        }
        return false;
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT:
    {
        const win::PaintScope paint(Hwnd());
        Paint(paint.Get());
        result = 0;
        return true;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
        {
            CloseBubble();
            result = 0;
            return true;
        }
        return false;
    case kMovedMessage:
        LayoutControls();
        ::UpdateWindow(Hwnd());
        return true;
    case kShownMessage: ::UpdateWindow(Hwnd()); return true;
    default: return ui::XDialog::DialogProc(message, wParam, lParam, result);
    }
}

void XToolbarBubbleDialog::StartTracking()
{
    if (m_trackingThread)
    {
        return;
    }
    m_trackingData.stop = 0;
    m_trackingData.dialog = this;
    m_lastTarget = RECT{};
    m_passesSinceMove = 0;
    auto thread = std::make_unique<win::Thread>([data = &m_trackingData] { return TrackingThreadBody(data); });
    if (thread->Create(THREAD_PRIORITY_NORMAL) && thread->Resume())
    {
        m_trackingThread = std::move(thread);
    }
    else if (thread->Handle())
    {
        // Created but not resumed: let it run straight to its end.
        m_trackingData.stop = 1;
        ::ResumeThread(thread->Handle());
        (void)thread->Wait(INFINITE);
    }
}

void XToolbarBubbleDialog::StopTracking() noexcept
{
    if (!m_trackingThread)
    {
        return;
    }
    m_trackingData.stop = 1;
    // The thread may be inside a call that sends a message to a window of this thread (the owner asks the
    // toolbar for the button's rectangle). Such sent messages are handled while waiting; posted ones stay
    // queued, so nothing else runs while the window is being destroyed.
    const HANDLE handle = m_trackingThread->Handle();
    while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
    {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_trackingThread.reset();
}

DWORD XToolbarBubbleDialog::TrackingThreadBody(XPositionTrackingThreadData* data) noexcept
{
    if (!data || !data->dialog)
    {
        return 1;
    }
    while (data->stop == 0)
    {
        data->dialog->Reposition();
        if (data->stop != 0)
        {
            break;
        }
        ::Sleep(kTrackingIntervalMs);
    }
    return 0;
}

void XToolbarBubbleDialog::Reposition() noexcept
{
    const HWND self = Hwnd();
    if (m_anchorButtonName.empty() || !m_owner || !self || !::IsWindow(self) || m_trackingData.stop != 0)
    {
        return;
    }
    const HWND toolbar = m_owner->GetToolbarHwnd();
    if (!toolbar)
    {
        return;
    }
    const bool visible = ::IsWindowVisible(self) != FALSE;
    if (!::IsWindow(toolbar) || !::IsWindowVisible(toolbar))
    {
        if (visible)
        {
            ::ShowWindowAsync(self, SW_HIDE);
        }
        return;
    }

    const RECT button = m_owner->GetButtonScreenRect(m_anchorButtonName);
    RECT bar{};
    ::GetWindowRect(toolbar, &bar);
    const int frame = ::GetSystemMetrics(SM_CXFRAME) * 2;
    bar.left -= frame;
    bar.right += frame;

    // A hidden or missing button has an empty rectangle (the toolbar reports no position for it); the
    // bubble must not appear for it somewhere else.
    const bool laidOut = button.right > button.left && button.bottom > button.top &&
        !(button.left < 0 && button.top < 0 && button.right < 0 && button.bottom < 0);
    bool hiddenNow = false;
    if (!laidOut || GetRightLimit() >= bar.right)
    {
        if (!visible)
        {
            return;
        }
        ::ShowWindowAsync(self, SW_HIDE);
        hiddenNow = true;
    }
    if (m_trackingData.stop != 0)
    {
        return;
    }

    if (laidOut)
    {
        RECT current{};
        ::GetWindowRect(self, &current);
        RECT target{button.left, button.bottom + VerticalOffset(), 0, 0};
        target.right = target.left + (current.right - current.left);
        target.bottom = target.top + (current.bottom - current.top);
        GetAnchorRect(target);
        ++m_passesSinceMove;
        if (!SameRect(target, current) && (!SameRect(target, m_lastTarget) || m_passesSinceMove >= kMoveRetryPasses))
        {
            m_lastTarget = target;
            m_passesSinceMove = 0;
            ::SetWindowPos(self, nullptr, target.left, target.top, target.right - target.left,
                target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
            ::PostMessageW(self, kMovedMessage, 0, 0);
        }
    }

    if (!visible && !hiddenNow && m_trackingData.stop == 0)
    {
        if (m_pendingShow.exchange(0) != 0)
        {
            ANIMATIONINFO animation{sizeof(animation)};
            if (::SystemParametersInfoW(SPI_GETANIMATION, sizeof(animation), &animation, 0) && animation.iMinAnimate)
            {
                for (DWORD waited = 0; waited < kShowAnimationDelayMs && m_trackingData.stop == 0;
                     waited += kTrackingIntervalMs)
                {
                    ::Sleep(kTrackingIntervalMs);
                }
            }
        }
        if (m_trackingData.stop == 0)
        {
            ::ShowWindowAsync(self, SW_SHOWNOACTIVATE);
            ::PostMessageW(self, kShownMessage, 0, 0);
        }
    }
}

}  // namespace bubble
