#include "FakeBubbleOwner.h"

#include "bubble/InstallBubbleDialog.h"
#include "res/resource.h"
#include "support/Wait.h"
#include "ui/XGlobalGDI.h"
#include "win/Handle.h"
#include "win/Scope.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

namespace
{
RECT WindowRect(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

class InstallBubbleTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui::TheGlobalGDI().CreateFonts(IDS_FONT_FACE_DEFAULT));
        owner.OpenHost();
        testing_support::PumpFor(20);
    }

    void TearDown() override
    {
        bubble.reset();
        owner.CloseHost();
        testing_support::PumpFor(10);
    }

    void OpenBubble()
    {
        bubble = std::make_unique<bubble::InstallBubbleDialog>(&owner);
        ASSERT_TRUE(bubble->CreateBubble(owner.HostWindow()));
    }

    bool BubbleVisible() const { return bubble && ::IsWindowVisible(bubble->Hwnd()); }

    RECT LogoRect() { return owner.GetButtonScreenRect(L"CID_KEL_LOGO"); }

    // True once the bubble stands below the logo button: 60 pixels to its left, its top at the system's
    // offset from the button's bottom.
    bool AtLogo()
    {
        const RECT logo = LogoRect();
        const RECT rect = WindowRect(bubble->Hwnd());
        return rect.left == logo.left - bubble::InstallBubbleDialog::kAnchorShift &&
            rect.top == logo.bottom + bubble::XToolbarBubbleDialog::VerticalOffset();
    }

    FakeBubbleOwner owner;
    std::unique_ptr<bubble::InstallBubbleDialog> bubble;
};
}  // namespace

TEST_F(InstallBubbleTest, ShowsBelowTheLogoButtonWithoutTheFocusOnlyWhileTheButtonAndTheToolbarAreThere)
{
    // Tracking makes many passes while the button has no place; it must not show the bubble meanwhile.
    owner.SetLogoHidden(true);
    const HWND active = ::GetActiveWindow();
    OpenBubble();
    const long queries = owner.RectQueries();
    ASSERT_TRUE(testing_support::WaitFor([&] { return owner.RectQueries() > queries + 10; }));
    EXPECT_FALSE(BubbleVisible());
    owner.SetLogoHidden(false);
    ASSERT_TRUE(testing_support::WaitFor([&] { return BubbleVisible() && AtLogo(); }));
    EXPECT_EQ(active, ::GetActiveWindow());
    EXPECT_NE(bubble->Hwnd(), ::GetFocus());

    // It follows the host window when it moves, and goes while the button or the toolbar does.
    const RECT before = WindowRect(owner.HostWindow());
    ::SetWindowPos(owner.HostWindow(), nullptr, before.left + 37, before.top + 23, 0, 0,
        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(testing_support::WaitFor([&] { return AtLogo(); }));
    owner.SetLogoHidden(true);
    EXPECT_TRUE(testing_support::WaitFor([&] { return !BubbleVisible(); }));
    owner.SetLogoHidden(false);
    EXPECT_TRUE(testing_support::WaitFor([&] { return BubbleVisible(); }));
    ::ShowWindow(owner.GetToolbarHwnd(), SW_HIDE);
    EXPECT_TRUE(testing_support::WaitFor([&] { return !BubbleVisible(); }));
    ::ShowWindow(owner.GetToolbarHwnd(), SW_SHOW);
    EXPECT_TRUE(testing_support::WaitFor([&] { return BubbleVisible(); }));
    owner.SetToolbarOverride(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7FFF0)));  // not a window
    EXPECT_TRUE(testing_support::WaitFor([&] { return !BubbleVisible(); }));
}

TEST_F(InstallBubbleTest, HidesWhenTheLogoButtonNearsTheToolbarsRightEnd)
{
    OpenBubble();
    ASSERT_TRUE(testing_support::WaitFor([&] { return BubbleVisible(); }));
    const int frame = ::GetSystemMetrics(SM_CXFRAME) * 2;
    owner.SetLogoWidth(40);
    const std::tuple<const char*, int, bool> cases[] = {
        {"well inside", 200, true},
        {"one pixel more than the margin", bubble::InstallBubbleDialog::kRightEdgeMargin + 1, true},
        {"at the margin", bubble::InstallBubbleDialog::kRightEdgeMargin, false},
        {"past the end", -10, false},
        {"back inside", 150, true},
    };
    for (const auto& [what, gapToEnd, visible] : cases)
    {
        SCOPED_TRACE(what);
        // Size the toolbar so that its right edge lies where the case wants it.
        const RECT logo = LogoRect();
        const RECT bar = WindowRect(owner.GetToolbarHwnd());
        const int wantedBarRight = logo.left + gapToEnd - frame;
        owner.SetToolbarWidth(wantedBarRight - bar.left);
        ASSERT_EQ(wantedBarRight, WindowRect(owner.GetToolbarHwnd()).right);
        ASSERT_EQ(logo.left, LogoRect().left);
        EXPECT_TRUE(testing_support::WaitFor([&] { return BubbleVisible() == visible; }));
        const long queries = owner.RectQueries();
        ASSERT_TRUE(testing_support::WaitFor([&] { return owner.RectQueries() > queries + 6; }));
        EXPECT_EQ(visible, BubbleVisible());
    }
}

TEST_F(InstallBubbleTest, ClosingStopsTrackingBeforeTheWindowGoes)
{
    const std::tuple<const char*, int> cases[] = {
        {"the close cross", 0}, {"the Close button", 1}, {"closing the host window", 2}, {"deleting the bubble", 3}};
    for (const auto& [what, closeBy] : cases)
    {
        SCOPED_TRACE(what);
        if (!::IsWindow(owner.HostWindow()))
        {
            owner.OpenHost();
        }
        // Repeated, so closes fall at different points of the tracking thread's pass.
        for (int round = 0; round < 5; ++round)
        {
            owner.WatchBubble(nullptr);  // watched from its close until the next bubble opens
            OpenBubble();
            ASSERT_TRUE(testing_support::WaitFor([&] { return BubbleVisible(); }));
            ASSERT_TRUE(bubble->IsTracking());
            const HWND window = bubble->Hwnd();
            owner.WatchBubble(window);
            switch (closeBy)
            {
            case 0: bubble->CloseButton().Click(); break;
            case 1:
                ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                    reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
                break;
            case 2: owner.CloseHost(); break;
            default: bubble.reset(); break;
            }
            EXPECT_FALSE(::IsWindow(window));
            EXPECT_TRUE(!bubble || !bubble->IsTracking());
            bubble.reset();
            if (closeBy == 2)
            {
                break;
            }
        }
    }
    EXPECT_EQ(0, owner.QueriesAfterTheWatchedBubbleWent()) << "the anchor was looked up after the window went";
}

// The texts are the host's; a title too long for one line wraps at words, up to three lines, and the message
// follows just below the last of them.
TEST_F(InstallBubbleTest, ShowsTheHostsTextsAndWrapsALongTitleAboveTheMessage)
{
    owner.strings.Set(L"KelTb.Str.Install.Bubble.Message", L"Message of the host");
    owner.strings.Set(L"KelTb.Str.Install.Bubble.CloseButton", L"Dismiss");
    const auto item = [this](int id, RECT& rect) {
        rect = WindowRect(::GetDlgItem(bubble->Hwnd(), id));
        ::MapWindowPoints(nullptr, bubble->Hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        wchar_t text[2048] = {};
        ::GetDlgItemTextW(bubble->Hwnd(), id, text, 2048);
        return std::wstring(text);
    };
    OpenBubble();
    RECT title{};
    item(IDC_BUBBLE_TITLE, title);
    std::wstring titles[3] = {L"Ready", L"Ready", L"Ready"};  // one line, one and a half, six
    TEXTMETRICW metrics{};
    {
        const win::WindowDC dc(::GetDlgItem(bubble->Hwnd(), IDC_BUBBLE_TITLE));
        const win::SelectScope select(dc.Get(),
            reinterpret_cast<HFONT>(::SendDlgItemMessageW(bubble->Hwnd(), IDC_BUBBLE_TITLE, WM_GETFONT, 0, 0)));
        ::GetTextMetricsW(dc.Get(), &metrics);
        for (const int halves : {3, 12})
        {
            std::wstring& text = titles[halves == 3 ? 1 : 2];
            for (SIZE size{}; ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size) &&
                 2 * size.cx < halves * (title.right - title.left);)
            {
                text += L" word";
            }
        }
    }
    for (int lines = 1; lines <= 3; ++lines)
    {
        SCOPED_TRACE(testing::Message() << lines << " line(s)");
        owner.strings.Set(L"KelTb.Str.Install.Bubble.Title", titles[lines - 1]);
        OpenBubble();
        RECT message{};
        RECT close{};
        EXPECT_EQ(titles[lines - 1], item(IDC_BUBBLE_TITLE, title));
        EXPECT_EQ(L"Message of the host", item(IDC_BUBBLE_MESSAGE, message));
        EXPECT_EQ(L"Dismiss", item(IDOK, close));
        EXPECT_EQ(lines * metrics.tmHeight, title.bottom - title.top);
        EXPECT_EQ(title.bottom + bubble::InstallBubbleDialog::kTitleMessageGap, message.top);
    }
}

// The window's region leaves out the corner pixels of that colour (the outline is round, the pointer stands
// out above the body); with another key colour the same corners stay in.
TEST_F(InstallBubbleTest, TheTransparentColourIsTheKeyBitmapsFirstPixelAndItsPixelsAreOutsideTheWindow)
{
    bubble::XToolbarBubbleDialog::FrameIds frames = {IDB_BUBBLE_TOP_LEFT, IDB_BUBBLE_TOP_RIGHT, IDB_BUBBLE_TOP,
        IDB_BUBBLE_BOTTOM_LEFT, IDB_BUBBLE_BOTTOM_RIGHT, IDB_BUBBLE_BOTTOM, IDB_BUBBLE_LEFT, IDB_BUBBLE_RIGHT, 3001};
    const bubble::XToolbarBubbleDialog::CloseIds close = {
        IDB_BUBBLE_CLOSE_NORMAL, IDB_BUBBLE_CLOSE_HOT, IDB_BUBBLE_CLOSE_PRESSED, IDB_BUBBLE_CLOSE_DISABLED};
    for (const auto& [key, expected] : {std::pair<UINT, COLORREF>{3001, RGB(0, 200, 0)},
             std::pair<UINT, COLORREF>{IDB_BUBBLE_TRANSPARENT_KEY, RGB(255, 0, 255)},
             std::pair<UINT, COLORREF>{9999, RGB(255, 0, 255)}})  // missing: the default
    {
        SCOPED_TRACE(key);
        frames[bubble::XToolbarBubbleDialog::kFramePieces] = key;
        bubble::XToolbarBubbleDialog dialog(IDD_INSTALL_BUBBLE, &owner, L"CID_KEL_LOGO", frames, close);
        ASSERT_TRUE(dialog.CreateBubble(owner.HostWindow()));
        EXPECT_EQ(expected, dialog.GetTransparentColor());
        const win::RegionHandle region(::CreateRectRgn(0, 0, 0, 0));
        ASSERT_TRUE(testing_support::WaitFor([&] { return ::GetWindowRgn(dialog.Hwnd(), region.Get()) != ERROR; }));
        RECT client{};
        ::GetClientRect(dialog.Hwnd(), &client);
        const bool cornersCut = expected == RGB(255, 0, 255);
        EXPECT_NE(cornersCut, ::PtInRegion(region.Get(), 0, 0) != FALSE);
        EXPECT_NE(cornersCut, ::PtInRegion(region.Get(), 0, client.bottom - 1) != FALSE);
        EXPECT_NE(cornersCut, ::PtInRegion(region.Get(), client.right - 1, 16) != FALSE);
        EXPECT_TRUE(::PtInRegion(region.Get(), 73, 0)) << "the pointer's tip";
        EXPECT_TRUE(::PtInRegion(region.Get(), client.right / 2, client.bottom / 2));
        dialog.CloseBubble();
    }
}
