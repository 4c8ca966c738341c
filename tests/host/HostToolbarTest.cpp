// The host's toolbar: attribute messages applied to its buttons, the FireEvent script handed on, the reports
// of what changed, and messages that must not harm it.

#include "HostToolbar.h"

#include "toolbar/HostToolbarInterface.h"
#include "win/Handle.h"
#include "win/Strings.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace
{

class HostToolbarTest : public ::testing::Test
{
protected:
  HostToolbarTest()
      : m_toolbar(
            kelhost::HostToolbar::Handlers{[this](const kelhost::ButtonState &state) { m_changes.push_back(state); },
                [this](UINT id, std::wstring_view text, bool taken) {
                    m_attributes.push_back({id, std::wstring(text), taken});
                },
                [this](const kelhost::ToolbarEvent &event) {
                    m_events.push_back(event);
                    return true;
                },
                [this] { ++m_layouts; }})
  {
      INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
      ::InitCommonControlsEx(&controls);
      m_parent.Reset(::CreateWindowExW(
          0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 100, nullptr, nullptr, nullptr, nullptr));
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_parent);
        ASSERT_TRUE(m_toolbar.Create(m_parent.Get()));
    }

    LRESULT Attribute(UINT id, const wchar_t* text)
    {
        return ::SendMessageW(m_toolbar.Hwnd(), host::kMsgSetAttribute, id, reinterpret_cast<LPARAM>(text));
    }

    struct AttributeRecord
    {
        UINT id;
        std::wstring text;
        bool taken;
    };

    win::WindowHandle m_parent;
    kelhost::HostToolbar m_toolbar;
    std::vector<kelhost::ButtonState> m_changes;
    std::vector<AttributeRecord> m_attributes;
    std::vector<kelhost::ToolbarEvent> m_events;
    int m_layouts = 0;
};

TEST_F(HostToolbarTest, HoldsTheAddOnButtonsSpacerAndItemInOrder)
{
    const auto states = m_toolbar.States();
    const std::vector<UINT> expected = {101, 102, 103, 106, 104, 105, 107};
    ASSERT_EQ(expected.size(), states.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(expected[i], states[i].id);
        EXPECT_EQ(static_cast<LRESULT>(i), ::SendMessageW(m_toolbar.Hwnd(), TB_COMMANDTOINDEX, expected[i], 0));
    }
    EXPECT_EQ(L"CID_PAVISE_STATUS", m_toolbar.State(103)->name);
    EXPECT_FALSE(m_toolbar.State(104)->enabled);
    EXPECT_EQ(106u, kelhost::FindButton(L"cid_norvix_update")->id);
    EXPECT_EQ(106u, kelhost::FindButton(L"update")->id);
    EXPECT_EQ(107u, kelhost::FindButton(L"107")->id);
    EXPECT_EQ(nullptr, kelhost::FindButton(L"108"));
    EXPECT_EQ(nullptr, kelhost::FindButton(L""));
}

TEST_F(HostToolbarTest, AttributesChangeTheButtonAndAreReportedOnce)
{
    struct Case
    {
        UINT id;
        const wchar_t* text;
        LRESULT result;
        size_t changes;  // state lines reported
    };
    const Case cases[] = {
        {106, LR"(icon="1004")", TRUE, 1},
        {106, LR"(icon="1004")", TRUE, 0},  // the same value again changes nothing
        {106, LR"(title="Update Norvix")", TRUE, 1},
        {106, LR"(tooltip="Your software is out of date")", TRUE, 1},
        {103, LR"(visibility="false")", TRUE, 1},
        {103, LR"(visibility="false")", TRUE, 0},
        {106, LR"(colour="red")", FALSE, 0},
        {108, LR"(title="x")", FALSE, 0},
        {0, LR"(title="x")", FALSE, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(win::WideToAnsi(c.text));
        m_changes.clear();
        m_attributes.clear();
        EXPECT_EQ(c.result, Attribute(c.id, c.text));
        EXPECT_EQ(c.changes, m_changes.size());
        ASSERT_EQ(1u, m_attributes.size());
        EXPECT_EQ(c.text, m_attributes[0].text);
        EXPECT_EQ(c.result == TRUE, m_attributes[0].taken);
    }
    const auto update = m_toolbar.State(106);
    EXPECT_EQ(L"1004", update->icon);
    EXPECT_EQ(L"Update Norvix", update->title);
    EXPECT_EQ(L"Your software is out of date", update->tooltip);
    EXPECT_STREQ(L"Your software is out of date", m_toolbar.Tooltip(106));
    EXPECT_FALSE(m_toolbar.State(103)->visible);
    EXPECT_EQ(0, m_toolbar.State(103)->width);
    EXPECT_TRUE(::SendMessageW(m_toolbar.Hwnd(), TB_ISBUTTONHIDDEN, 103, 0));

    EXPECT_EQ(TRUE, Attribute(103, LR"(visibility="true")"));
    EXPECT_TRUE(m_toolbar.State(103)->visible);
    EXPECT_GT(m_toolbar.State(103)->width, 0);
    EXPECT_EQ(kelhost::FormatButtonState(*update), kelhost::FormatButtonState(*m_toolbar.State(106)));
}

TEST_F(HostToolbarTest, ToolbarMessagesFromTheAddOnAreReportedAsChanges)
{
    ::SendMessageW(m_toolbar.Hwnd(), TB_ENABLEBUTTON, 106, FALSE);
    ASSERT_EQ(1u, m_changes.size());
    EXPECT_EQ(106u, m_changes[0].id);
    EXPECT_FALSE(m_changes[0].enabled);

    m_changes.clear();
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_SIZE;
    info.cx = 150;
    ::SendMessageW(m_toolbar.Hwnd(), TB_SETBUTTONINFOW, host::kSpacerCommandId, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(1u, m_changes.size());
    EXPECT_EQ(host::kSpacerCommandId, m_changes[0].id);
    EXPECT_EQ(150, m_changes[0].width);

    m_changes.clear();
    ::SendMessageW(m_toolbar.Hwnd(), TB_HIDEBUTTON, host::kHiddenCommandId, TRUE);
    ASSERT_EQ(1u, m_changes.size());
    EXPECT_FALSE(m_changes[0].visible);
}

TEST_F(HostToolbarTest, FireEventScriptIsHandedOnOnlyWhenWellFormed)
{
    EXPECT_EQ(TRUE, Attribute(0, LR"(toolbar.FireEvent("UpdateStatus", 1))"));
    EXPECT_EQ(FALSE, Attribute(0, LR"(toolbar.FireEvent("x", 1); alert(1))"));
    EXPECT_EQ(FALSE, Attribute(0, LR"(icon="1")"));
    ASSERT_EQ(1u, m_events.size());
    EXPECT_EQ(L"UpdateStatus", m_events[0].name);
    EXPECT_EQ(1, m_events[0].number);
    EXPECT_TRUE(m_changes.empty());
}

TEST_F(HostToolbarTest, UnreadableAttributeTextIsRefusedWithoutHarm)
{
    // Reserved but not committed memory stands for a pointer from another process.
    void* reserved = ::VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(nullptr, reserved);
    // A text that runs into a page that cannot be read.
    auto* page = static_cast<wchar_t*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, page);
    std::fill(page, page + 2048, L'a');
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(page, 4096, PAGE_READWRITE, &old));

    const std::pair<const char*, LPARAM> cases[] = {
        {"null", 0},
        {"small number", 0x10},
        {"odd address", reinterpret_cast<LPARAM>(page) + 1},
        {"reserved", reinterpret_cast<LPARAM>(reserved)},
        {"unterminated before a hole", reinterpret_cast<LPARAM>(page + 2048 - 8)},
    };
    for (const auto& [what, text] : cases)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(FALSE, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgSetAttribute, 106, text));
        EXPECT_EQ(FALSE, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgSetAttribute, 0, text));
    }
    EXPECT_TRUE(m_events.empty());
    ::VirtualFree(page, 0, MEM_RELEASE);
    ::VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST_F(HostToolbarTest, LayoutRequestPassedOnByTheAddOnReachesTheHost)
{
    EXPECT_EQ(1, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgLayout, 0, 1));
    EXPECT_EQ(1, m_layouts);
    // Without an add-on in front, the host's other messages end at the host.
    EXPECT_EQ(0, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgLayout, 0, 0));
    EXPECT_EQ(0, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgLayout, 1, 1));
    EXPECT_EQ(0, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgRelayout, 1, 0));
    EXPECT_EQ(0, ::SendMessageW(m_toolbar.Hwnd(), host::kMsgPreferences, 1, 0));
    EXPECT_EQ(1, m_layouts);
}

TEST_F(HostToolbarTest, ChildWindowOverAButtonIsSeenAsTheAddOnOverlay)
{
    RECT item{};
    const LRESULT index = ::SendMessageW(m_toolbar.Hwnd(), TB_COMMANDTOINDEX, 106, 0);
    ASSERT_TRUE(::SendMessageW(m_toolbar.Hwnd(), TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)));
    win::WindowHandle overlay(::CreateWindowExW(WS_EX_TRANSPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE, item.left,
        item.top, item.right - item.left, item.bottom - item.top, m_toolbar.Hwnd(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay.Get(), m_toolbar.OverlayOver(106));
    EXPECT_TRUE(m_toolbar.State(106)->overlay);
    EXPECT_FALSE(m_toolbar.State(103)->overlay);
    // A hidden button has nothing over it, whatever lies where it was.
    ::SendMessageW(m_toolbar.Hwnd(), TB_HIDEBUTTON, 106, TRUE);
    EXPECT_EQ(nullptr, m_toolbar.OverlayOver(106));
}

TEST_F(HostToolbarTest, DestroyedParentTakesTheToolbarWithoutTrouble)
{
    m_parent.Reset();
    EXPECT_FALSE(::IsWindow(m_toolbar.Hwnd()));
    m_toolbar.Destroy();
    EXPECT_EQ(nullptr, m_toolbar.Hwnd());
    EXPECT_TRUE(m_toolbar.States().empty());
}

} // namespace
