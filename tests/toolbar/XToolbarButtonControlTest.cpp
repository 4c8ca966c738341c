#include "ToolbarFixture.h"

#include "res/TestIcons.h"
#include "support/Wait.h"
#include "toolbar/XToolbarButtonControl.h"
#include "win/Scope.h"

#include <commctrl.h>

namespace toolbar_tests
{
namespace
{

using testing_support::PumpFor;
using testing_support::TestToolbarWindow;
using Message = TestToolbarWindow::Message;

class ButtonControlTest : public ToolbarFixture
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, Start(*control.control));
        PumpFor(20);
        pavise = control->FindButtonControl(L"CID_PAVISE_STATUS");
        ASSERT_NE(nullptr, pavise);
        ASSERT_TRUE(pavise->IsWindow());
        toolbar.ClearMessages();
        control->Log().clear();
    }

    int TextWidth(const std::wstring& text) const
    {
        win::WindowDC dc(toolbar.Toolbar());
        win::SelectScope font(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(toolbar.Toolbar(), WM_GETFONT, 0, 0)));
        SIZE size{};
        ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

    void Mouse(UINT message, int x, int y, WPARAM keys = 0) const
    {
        ::SendMessageW(pavise->Hwnd(), message, keys, MAKELPARAM(x, y));
    }

    toolbar::XToolbarButtonControl* pavise = nullptr;
};

TEST_F(ButtonControlTest, OverlaysCoverTheirDisabledHostItemsAndFollowWhenAnEarlierItemWidens)
{
    const auto expectCovered = [this](const wchar_t* name, UINT id) {
        SCOPED_TRACE(testing::Message() << "overlay " << id);
        RECT item{};
        const int index = control->GetButtonIndex(name);
        ASSERT_TRUE(::SendMessageW(toolbar.Toolbar(), TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)));
        RECT overlay{};
        const HWND window = control->FindButtonControl(name)->Hwnd();
        ::GetWindowRect(window, &overlay);
        ::MapWindowPoints(nullptr, toolbar.Toolbar(), reinterpret_cast<POINT*>(&overlay), 2);
        EXPECT_TRUE(::EqualRect(&item, &overlay));
        EXPECT_TRUE(::IsWindowVisible(window));
        EXPECT_FALSE(::SendMessageW(toolbar.Toolbar(), TB_ISBUTTONENABLED, id, 0));
    };
    expectCovered(L"CID_PAVISE_STATUS", kPavise);
    expectCovered(L"CID_NORVIX_UPDATE", kUpdate);

    // The status item comes first; its new title widens it and moves every item after it.
    ASSERT_TRUE(control->UpdateButton(
        L"CID_PAVISE_STATUS", IDI_TEST_RED, 16, 16, L"A much longer title", L"", TRUE, TRUE, TRUE));
    expectCovered(L"CID_PAVISE_STATUS", kPavise);
    expectCovered(L"CID_NORVIX_UPDATE", kUpdate);
}

TEST_F(ButtonControlTest, ItemWidthFitsIconAndTitleWithAndWithoutTextLabels)
{
    const int g1 = pavise->IconGap();
    const int g2 = pavise->TextGap();
    const std::tuple<const char*, const wchar_t*, BOOL, int> cases[] = {
        {"with title", L"Protected", TRUE, g1 + 16 + g2 + TextWidth(L"Protected") + g2},
        {"mnemonic marker not measured", L"&Update now", TRUE, g1 + 16 + g2 + TextWidth(L"Update now") + g2},
        {"text labels off", L"Protected", FALSE, g1 + 16 + g1},
    };
    for (const auto& [name, title, withTexts, expected] : cases)
    {
        SCOPED_TRACE(name);
        ASSERT_TRUE(
            control->UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_RED, 16, 16, title, L"tip", TRUE, TRUE, withTexts));
        EXPECT_EQ(expected, toolbar.ButtonWidth(kPavise));
        EXPECT_EQ(withTexts ? std::wstring(title) : L"", pavise->Title());
        EXPECT_EQ(withTexts ? L"tip" : L"", pavise->Tooltip());
        RECT overlay{};
        ::GetClientRect(pavise->Hwnd(), &overlay);
        EXPECT_EQ(expected, overlay.right);
    }
}

TEST_F(ButtonControlTest, TheSameStateAgainSendsNothingAndDoesNotRefit)
{
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_RED, 16, 16, L"On", L"tip", FALSE, TRUE, TRUE));
    PumpFor(20);
    toolbar.ClearMessages();
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_RED, 16, 16, L"On", L"tip", FALSE, TRUE, TRUE));
    PumpFor(20);
    EXPECT_EQ(std::vector<Message>(), toolbar.Messages());
}

TEST_F(ButtonControlTest, HidingAndShowingTellTheHostThenHideItsItem)
{
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", 0, 16, 16, L"", L"", FALSE, TRUE, TRUE));
    EXPECT_FALSE(::IsWindowVisible(pavise->Hwnd()));
    EXPECT_TRUE(toolbar.IsHidden(kPavise));
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", 0, 16, 16, L"", L"", TRUE, TRUE, TRUE));
    EXPECT_TRUE(::IsWindowVisible(pavise->Hwnd()));
    const std::vector<Message> expected = {
        {3036, kPavise, 0, L"visibility=\"false\""},
        {TB_HIDEBUTTON, kPavise, MAKELPARAM(TRUE, 0), L""},
        {3036, kPavise, 0, L"visibility=\"true\""},
        {TB_HIDEBUTTON, kPavise, MAKELPARAM(FALSE, 0), L""},
    };
    EXPECT_EQ(expected, toolbar.Messages());
}

TEST_F(ButtonControlTest, AnItemTheHostHidesIsNotFittedUntilItIsShownAgain)
{
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_RED, 16, 16, L"On", L"", TRUE, TRUE, TRUE));
    // The host hides the item under a visible overlay; the overlay's look changes while it is hidden.
    ::SendMessageW(toolbar.Toolbar(), TB_HIDEBUTTON, kPavise, MAKELPARAM(TRUE, 0));
    toolbar.ClearMessages();
    ASSERT_TRUE(
        control->UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_GREEN, 16, 16, L"A longer title", L"", TRUE, TRUE, TRUE));
    PumpFor(20);
    EXPECT_TRUE(toolbar.IsHidden(kPavise));
    // Nothing was fitted: the hidden item reads 0 wide, and fitting it would place the overlays, which fit it again.
    for (const Message& message : toolbar.Messages())
    {
        EXPECT_FALSE(message.message == TB_SETBUTTONINFOW && message.wParam == kPavise) << "fitted while hidden";
    }

    ::SendMessageW(toolbar.Toolbar(), TB_HIDEBUTTON, kPavise, MAKELPARAM(FALSE, 0));
    const int expected = pavise->IconGap() + 16 + 2 * pavise->TextGap() + TextWidth(L"A longer title");
    EXPECT_EQ(expected, toolbar.ButtonWidth(kPavise));
    RECT overlay{};
    ::GetClientRect(pavise->Hwnd(), &overlay);
    EXPECT_EQ(expected, overlay.right);
}

// The frames that load are shown in their order, each tick the next, and after the last the first again; what
// the host reads of the overlay (the icon property) follows. A still icon afterwards ends the animation.
TEST_F(ButtonControlTest, AnimationShowsItsFramesInOrderAndWrapsRoundToTheFirst)
{
    const auto shown = [this] {
        return static_cast<UINT>(reinterpret_cast<UINT_PTR>(::GetPropW(pavise->Hwnd(), host::kOverlayIconProperty)));
    };
    ASSERT_TRUE(control->UpdateAnimatedButton(
        L"CID_PAVISE_STATUS", {IDI_TEST_RED, 9999, IDI_TEST_GREEN}, 16, 16, 60000, L"", L"", TRUE, TRUE, TRUE));
    EXPECT_TRUE(pavise->IsAnimating());
    std::vector<UINT> frames{shown()};
    for (int tick = 0; tick < 4; ++tick)
    {
        ::SendMessageW(pavise->Hwnd(), WM_TIMER, toolbar::XToolbarButtonControl::kFrameTimerId, 0);
        frames.push_back(shown());
    }
    EXPECT_EQ(std::vector<UINT>({IDI_TEST_RED, IDI_TEST_GREEN, IDI_TEST_RED, IDI_TEST_GREEN, IDI_TEST_RED}), frames);
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", IDI_TEST_GREEN, 16, 16, L"", L"", TRUE, TRUE, TRUE));
    EXPECT_FALSE(pavise->IsAnimating());
}

TEST_F(ButtonControlTest, AClickNeedsAPressAndAReleaseInsideOfAnEnabledButton)
{
    struct Step
    {
        UINT message;
        int x, y;
    };
    const std::tuple<const char*, std::vector<Step>, bool, bool> cases[] = {
        {"press and release inside", {{WM_LBUTTONDOWN, 5, 5}, {WM_LBUTTONUP, 6, 6}}, false, true},
        {"released outside", {{WM_LBUTTONDOWN, 5, 5}, {WM_LBUTTONUP, 500, 6}}, false, false},
        {"moved out and back in",
            {{WM_LBUTTONDOWN, 5, 5}, {WM_MOUSEMOVE, -5, 5}, {WM_MOUSEMOVE, 5, 5}, {WM_LBUTTONUP, 5, 5}}, false, true},
        {"release without a press", {{WM_LBUTTONUP, 5, 5}}, false, false},
        {"capture lost before the release", {{WM_LBUTTONDOWN, 5, 5}}, true, false},
    };
    for (const auto& [name, steps, loseCapture, clicked] : cases)
    {
        SCOPED_TRACE(name);
        control->Log().clear();
        for (const Step& step : steps)
        {
            Mouse(step.message, step.x, step.y, step.message == WM_LBUTTONUP ? 0 : MK_LBUTTON);
        }
        if (loseCapture)
        {
            ::ReleaseCapture();
            EXPECT_FALSE(pavise->IsPressed());
            Mouse(WM_LBUTTONUP, 5, 5);
        }
        EXPECT_EQ(clicked ? std::vector<std::wstring>{L"clicked CID_PAVISE_STATUS"} : std::vector<std::wstring>{},
            control->Log());
        EXPECT_FALSE(pavise->IsPressed());
        EXPECT_NE(pavise->Hwnd(), ::GetCapture());
    }

    // Hot follows the cursor, but a disabled button is neither hot nor clicked.
    Mouse(WM_MOUSEMOVE, 5, 5);
    EXPECT_TRUE(pavise->IsHot());
    Mouse(WM_MOUSEMOVE, -3, 5);
    EXPECT_FALSE(pavise->IsHot());
    control->Log().clear();
    ASSERT_TRUE(control->UpdateButton(L"CID_PAVISE_STATUS", 0, 16, 16, L"", L"", TRUE, FALSE, FALSE));
    Mouse(WM_MOUSEMOVE, 5, 5);
    EXPECT_FALSE(pavise->IsHot());
    Mouse(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 5, 5);
    EXPECT_TRUE(control->Log().empty());
}

TEST_F(ButtonControlTest, RelayoutAndLayoutMessagesReachTheHostOnlyAsTheHostExpects)
{
    control->SetLayoutAnchor(L"CID_NORVIX_UPDATE");
    const std::tuple<const char*, UINT, WPARAM, LPARAM, LRESULT, std::vector<Message>> cases[] = {
        {"relayout from the host", 3055, 1, 0, 1, {{3034, 0, 1, L""}}},
        {"layout request of the add-on", 3034, 0, 0, 1, {}},
        {"layout passed to the host", 3034, 0, 1, -1, {{3034, 0, 1, L""}}},
        {"relayout with another wParam", 3055, 0, 0, -1, {{3055, 0, 0, L""}}},
    };
    for (const auto& [name, message, wParam, lParam, expected, expectedReached] : cases)
    {
        SCOPED_TRACE(name);
        toolbar.ClearMessages();
        const LRESULT result = ::SendMessageW(toolbar.Toolbar(), message, wParam, lParam);
        if (expected != -1)
        {
            EXPECT_EQ(expected, result);
        }
        std::vector<Message> reached;
        for (const Message& m : toolbar.Messages())
        {
            if (m.message == 3034 || m.message == 3055)
            {
                reached.push_back(m);
            }
        }
        EXPECT_EQ(expectedReached, reached);
        EXPECT_TRUE(toolbar.IsHidden(host::kHiddenCommandId));
    }
}

TEST_F(ButtonControlTest, SpacerIsSizedAfterTheLowestVisibleOverlayWhenTheAnchorIsHidden)
{
    ASSERT_TRUE(control->CreateButtonControl(L"CID_KEL_SEARCH", 0x102));
    // Overlays in creation order: status, update, search. Host order: status, logo, update, search.
    const int options = toolbar.ButtonWidth(kOptions);
    const int available = kToolbarWidth - options;
    const int status = toolbar.ButtonWidth(kPavise);
    const int logo = toolbar.ButtonWidth(kLogo);
    const int update = toolbar.ButtonWidth(kUpdate);
    const int search = toolbar.ButtonWidth(kSearch);
    const std::tuple<const char*, const wchar_t*, std::vector<const wchar_t*>, int> cases[] = {
        {"visible anchor", L"CID_KEL_SEARCH", {}, status + logo + update + search + 1},
        {"hidden anchor", L"CID_KEL_SEARCH", {L"CID_KEL_SEARCH"}, status + 1},
        {"hidden anchor and neighbour", L"CID_KEL_SEARCH", {L"CID_KEL_SEARCH", L"CID_PAVISE_STATUS"},
            logo + update + 1},
    };
    for (const auto& [name, anchor, hidden, used] : cases)
    {
        SCOPED_TRACE(name);
        for (const auto& button : control->ButtonControls())
        {
            button->SetVisibility(TRUE);
        }
        for (const wchar_t* button : hidden)
        {
            control->FindButtonControl(button)->SetVisibility(FALSE);
        }
        control->SetLayoutAnchor(anchor);
        ::SendMessageW(toolbar.Toolbar(), 3055, 1, 0);
        EXPECT_EQ(available - used, toolbar.ButtonWidth(host::kSpacerCommandId));
        EXPECT_TRUE(toolbar.IsHidden(host::kHiddenCommandId));
    }

    // A toolbar too narrow for its buttons still gets a spacer of one pixel.
    ::SetWindowPos(toolbar.Toolbar(), nullptr, 0, 0, 100, 28, SWP_NOZORDER | SWP_NOMOVE);
    ::SendMessageW(toolbar.Toolbar(), 3055, 1, 0);
    EXPECT_EQ(1, toolbar.ButtonWidth(host::kSpacerCommandId));
}

}  // namespace
}  // namespace toolbar_tests
