#include "bubble/InstallBubbleDialog.h"

#include "res/resource.h"
#include "ui/Fonts.h"
#include "win/Module.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <algorithm>

namespace bubble
{

namespace
{
const wchar_t kTitleKey[] = L"KelTb.Str.Install.Bubble.Title";
const wchar_t kTitleDefault[] = L"Your Norvix toolbar is ready to use!";
const wchar_t kMessageKey[] = L"KelTb.Str.Install.Bubble.Message";
const wchar_t kMessageDefault[] = L"Try using the search box for Secure Search results. Keep an eye out for "
                                  L"notifications that will keep you informed of Safety Alerts and Norvix product "
                                  L"information.";
const wchar_t kCloseKey[] = L"KelTb.Str.Install.Bubble.CloseButton";
const wchar_t kCloseDefault[] = L"Close";
const wchar_t kTitlePixelsKey[] = L"KelTb.Str.Install.Bubble.TitleFontPixel";
const wchar_t kContentPixelsKey[] = L"KelTb.Str.Install.Bubble.ContentFontPixel";
const wchar_t kDefaultFace[] = L"Arial";

const wchar_t kAnchorButton[] = L"CID_KEL_LOGO";
// The disabled cross is kept in the resources under a name rather than under its id.
const wchar_t kDisabledCloseName[] = L"IDB_BUBBLE_DISABLED_CLOSE_BTN";

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

// The height that `control`'s text takes in its font when broken into lines of `width` pixels.
int TextHeight(HWND control, int width)
{
    const std::wstring text = WindowText(control);
    const win::WindowDC dc(control);
    if (!dc || width <= 0 || text.empty())
    {
        return 0;
    }
    const win::SelectScope select(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT bounds{0, 0, width, 0};
    std::wstring measured = text;
    ::DrawTextW(dc.Get(), measured.data(), static_cast<int>(measured.size()), &bounds,
        DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    return bounds.bottom - bounds.top;
}

RECT ChildRect(HWND child) noexcept
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
}  // namespace

InstallBubbleDialog::InstallBubbleDialog(ui::XBubbleOwner* owner) noexcept
    : XToolbarBubbleDialog(IDD_INSTALL_BUBBLE, owner, kAnchorButton,
          FrameIds{IDB_BUBBLE_TOP_LEFT, IDB_BUBBLE_TOP_RIGHT, IDB_BUBBLE_TOP, IDB_BUBBLE_BOTTOM_LEFT,
              IDB_BUBBLE_BOTTOM_RIGHT, IDB_BUBBLE_BOTTOM, IDB_BUBBLE_LEFT, IDB_BUBBLE_RIGHT,
              IDB_BUBBLE_TRANSPARENT_KEY},
          CloseIds{IDB_BUBBLE_CLOSE_NORMAL, IDB_BUBBLE_CLOSE_HOT, IDB_BUBBLE_CLOSE_PRESSED, IDB_BUBBLE_CLOSE_DISABLED})
{
}

InstallBubbleDialog::~InstallBubbleDialog()
{
    // The tracking thread calls this class's overrides: it ends before any part of the object goes.
    StopTracking();
    Destroy();
}

const wchar_t* InstallBubbleDialog::GetDisabledCloseImageName() const noexcept
{
    return kDisabledCloseName;
}

void InstallBubbleDialog::MakeFonts()
{
    ui::XBubbleOwner* const owner = Owner();
    std::wstring face = win::LoadStringResource(win::ThisModule(), IDS_FONT_FACE_BUBBLE);
    if (face.empty())
    {
        face = kDefaultFace;
    }
    const std::wstring titlePixels = owner ? owner->GetHostString(kTitlePixelsKey, L"18") : L"18";
    const std::wstring contentPixels = owner ? owner->GetHostString(kContentPixelsKey, L"13") : L"13";
    (void)ui::MakeFont(
        face, ui::PixelsToPoints(win::ParseDecimal(titlePixels)), {.bold = true, .clearType = true}, m_titleFont);
    (void)ui::MakeFont(face, ui::PixelsToPoints(win::ParseDecimal(contentPixels)), {.clearType = true}, m_contentFont);
    if (m_titleFont)
    {
        ::SendMessageW(m_title.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont.Get()), TRUE);
    }
    if (m_contentFont)
    {
        ::SendMessageW(m_message.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(m_contentFont.Get()), TRUE);
    }
}

BOOL InstallBubbleDialog::OnInitDialog()
{
    const BOOL result = XToolbarBubbleDialog::OnInitDialog();
    (void)BindControl(IDOK, m_closeText);
    (void)BindControl(IDC_BUBBLE_ICON, m_icon);
    (void)BindControl(IDC_BUBBLE_TITLE, m_title);
    (void)BindControl(IDC_BUBBLE_MESSAGE, m_message);
    MakeFonts();
    if (ui::XBubbleOwner* const owner = Owner())
    {
        ::SetWindowTextW(m_title.Hwnd(), owner->GetHostString(kTitleKey, kTitleDefault).c_str());
        ::SetWindowTextW(m_message.Hwnd(), owner->GetHostString(kMessageKey, kMessageDefault).c_str());
        ::SetWindowTextW(m_closeText.Hwnd(), owner->GetHostString(kCloseKey, kCloseDefault).c_str());
    }
    LayoutControls();
    return result;
}

int InstallBubbleDialog::CountTitleLines(
    HWND control, HFONT font, const std::wstring& text, int width, int& lineHeight) noexcept
{
    lineHeight = 0;
    const win::WindowDC dc(control);
    if (!dc)
    {
        return 1;
    }
    const win::SelectScope select(dc.Get(), font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.Get(), &metrics);
    lineHeight = metrics.tmHeight;
    if (width <= 0 || lineHeight <= 0)
    {
        return kMaxTitleLines;
    }
    // Counted the way the static control breaks its text (at words), not by dividing the text's width: a
    // title of 1.9 widths may need three lines, and a line too few would cut its end off.
    RECT bounds{0, 0, width, 0};
    std::wstring measured = text + L' ';
    ::DrawTextW(dc.Get(), measured.data(), static_cast<int>(measured.size()), &bounds,
        DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    const int lines = (bounds.bottom - bounds.top + lineHeight - 1) / lineHeight;
    return std::clamp(lines, 1, kMaxTitleLines);
}

void InstallBubbleDialog::LayoutControls()
{
    if (!m_title.IsWindow() || !m_message.IsWindow())
    {
        return;
    }
    Layout();
}

void InstallBubbleDialog::Layout()
{
    const std::wstring title = WindowText(m_title.Hwnd());
    const HFONT font =
        m_titleFont ? m_titleFont.Get() : reinterpret_cast<HFONT>(::SendMessageW(m_title.Hwnd(), WM_GETFONT, 0, 0));
    RECT titleRect = ChildRect(m_title.Hwnd());
    int lineHeight = 0;
    const int lines = CountTitleLines(m_title.Hwnd(), font, title, titleRect.right - titleRect.left, lineHeight);
    titleRect.bottom = titleRect.top + lines * lineHeight;
    ::SetWindowPos(m_title.Hwnd(), nullptr, titleRect.left, titleRect.top, titleRect.right - titleRect.left,
        titleRect.bottom - titleRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT messageRect = ChildRect(m_message.Hwnd());
    const int top = titleRect.bottom + kTitleMessageGap;
    const int width = messageRect.right - messageRect.left;
    if (m_messageHeight == 0)
    {
        // The template's measures, taken once: every layout starts from them again.
        m_messageHeight = messageRect.bottom - messageRect.top;
        RECT window{};
        ::GetWindowRect(Hwnd(), &window);
        m_bubbleHeight = window.bottom - window.top;
        m_closeTop = m_closeText.IsWindow() ? ChildRect(m_closeText.Hwnd()).top : 0;
    }
    // The message takes the template's height, or more when its text needs more (a long title, larger
    // fonts from the host). When the room above the Close button is too small, the bubble grows downwards,
    // by at most its own height again, so no line is cut off or hidden behind the button.
    int height = std::max(m_messageHeight, TextHeight(m_message.Hwnd(), width));
    int growth = 0;
    if (m_closeText.IsWindow())
    {
        const int room = m_closeTop - kMessageCloseGap - top;
        growth = std::clamp(height - room, 0, m_bubbleHeight);
        height = std::max(std::min(height, room + growth), 0);
        const RECT close = ChildRect(m_closeText.Hwnd());
        ::SetWindowPos(m_closeText.Hwnd(), nullptr, close.left, m_closeTop + growth, 0, 0,
            SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    }
    ::SetWindowPos(m_message.Hwnd(), nullptr, messageRect.left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window{};
    ::GetWindowRect(Hwnd(), &window);
    if (window.bottom - window.top != m_bubbleHeight + growth)
    {
        ::SetWindowPos(Hwnd(), nullptr, 0, 0, window.right - window.left, m_bubbleHeight + growth,
            SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
    }
}

void InstallBubbleDialog::GetAnchorRect(RECT& rect) noexcept
{
    ::OffsetRect(&rect, -kAnchorShift, 0);
}

LONG InstallBubbleDialog::GetRightLimit() noexcept
{
    ui::XBubbleOwner* const owner = Owner();
    if (!owner || AnchorButtonName().empty())
    {
        return 0;
    }
    // The bubble goes once the button's left edge comes within the margin of the toolbar's end.
    return owner->GetButtonScreenRect(AnchorButtonName()).left + kRightEdgeMargin;
}

bool InstallBubbleDialog::CloseBubble() noexcept
{
    XToolbarBubbleDialog::CloseBubble();
    m_titleFont.Reset();
    m_contentFont.Reset();
    return true;
}

bool InstallBubbleDialog::DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK)
    {
        CloseBubble();
        result = 0;
        return true;
    }
    return XToolbarBubbleDialog::DialogProc(message, wParam, lParam, result);
}

}  // namespace bubble
