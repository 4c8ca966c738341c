// What each product state shows on the two buttons and what a click does in it, row by row. The host answers
// every text key with "<key>" so that each row shows which setting it took.

#include "Core/StatusLooks.h"
#include "res/resource.h"
#include "support/FakeHostStrings.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

namespace
{

// A host that answers every key with the key itself in angle brackets, and expands macros by marking them.
class KeyEchoHost : public testing_support::FakeHostStrings
{
public:
    std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override
    {
        const std::wstring value = FakeHostStrings::GetHostString(key, defaultValue);
        return m_echo ? L"<" + key + L">" : value;
    }
    std::wstring ExpandHostMacros(const std::wstring& text) override { return L"expanded:" + text; }
    void EchoKeys(bool echo) { m_echo = echo; }

private:
    bool m_echo = true;
};

std::wstring Key(const std::wstring& key)
{
    return L"<" + key + L">";
}

class StatusLooksTest : public ::testing::Test
{
protected:
    KeyEchoHost m_host;
    core::ControllerSettings m_settings{m_host, [](const wchar_t*, const wchar_t*, std::wstring&) { return FALSE; }};
};

const std::vector<UINT> kFrames = {1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1031, 1032, 1033};

// Every state of both buttons in one row: what the button shows (the host's texts of the state's keys), the
// tracking code its click reports and whether the click opens the state's page.
TEST_F(StatusLooksTest, EveryStateOfBothButtonsShowsItsRowAndItsClickReportsItsCodeAndOpensItsPage)
{
    const std::tuple<bool, int, const wchar_t*, UINT, BOOL, BOOL, const wchar_t*, bool> rows[] = {
        // web protection?, status, state, icon (0: the animation), visible, enabled, tracking code, opens its page
        {true, -2, L"ConnectionFailure", IDI_STATUS_UNKNOWN, FALSE, TRUE, L"Default", true},
        {true, -1, L"Error", IDI_STATUS_UNKNOWN, FALSE, TRUE, L"Default", true},
        {true, 0, L"Default", IDI_STATUS_UNKNOWN, FALSE, TRUE, L"Default", true},
        {true, 1, L"Activated", IDI_STATUS_GOOD, TRUE, FALSE, L"Default", true},
        {true, 2, L"Deactivated", IDI_STATUS_ACTION, TRUE, TRUE, L"Deactivated", true},
        {false, -2, L"ConnectionFailure", IDI_STATUS_UNKNOWN, TRUE, TRUE, L"ConnectionFailure", true},
        {false, -1, L"Error", IDI_STATUS_UNKNOWN, TRUE, TRUE, L"Error", true},
        {false, 0, L"Default", IDI_STATUS_UNKNOWN, TRUE, TRUE, L"Default", true},
        {false, 1, L"Uptodate", IDI_STATUS_GOOD, TRUE, FALSE, L"Default", false},
        {false, 2, L"Update", IDI_STATUS_ACTION, TRUE, TRUE, L"Update", false},
        {false, 3, L"Updating", 0, TRUE, FALSE, L"Default", false},
    };
    // The placeholder stands twice in the address; both take the code, and nothing else changes.
    m_host.Set(L"KelTb.Str.Button.Tracking.Macro", L"@CODE@");
    m_host.Set(L"KelTb.Url.PaviseTracking", L"http://t.example/Pavise?but=@CODE@&again=@CODE@");
    m_host.Set(L"KelTb.Url.NovrixUpdateTracking", L"http://t.example/Norvix?but=@CODE@&again=@CODE@");
    for (const auto& [pavise, status, state, icon, visible, enabled, code, opensPage] : rows)
    {
        const std::wstring button = pavise ? L"Pavise" : L"Norvix";
        SCOPED_TRACE(testing::Message() << win::WideToAnsi(button + L" " + state, CP_UTF8));
        const auto paviseStatus = pavise ? static_cast<net::PaviseStatus>(status) : net::PaviseStatus::Default;
        const auto norvixStatus = pavise ? net::NorvixStatus::Default : static_cast<net::NorvixStatus>(status);
        m_host.EchoKeys(true);
        const core::ButtonLook shown =
            pavise ? core::PaviseLook(paviseStatus, m_settings) : core::NorvixLook(norvixStatus, m_settings);
        EXPECT_EQ(icon, shown.iconId);
        EXPECT_EQ(icon ? std::vector<UINT>{} : kFrames, shown.frames);
        EXPECT_EQ(Key(L"KelTb.Str." + button + L"." + state), shown.title);
        EXPECT_EQ(icon ? Key(L"KelTb.Str.TT." + button + L"." + state) : L"", shown.tooltip);
        EXPECT_EQ(visible, shown.visible);
        EXPECT_EQ(enabled, shown.enabled);

        m_host.EchoKeys(false);
        const std::wstring codeKey = L"KelTb.Str." + button + L".Button.Tracking." + code;
        m_host.Set(codeKey, L"code-of-" + codeKey);
        EXPECT_EQ(L"expanded:http://t.example/" + button + L"?but=code-of-" + codeKey + L"&again=code-of-" + codeKey,
            core::TrackingUrl(pavise ? core::TrackedButton::Pavise : core::TrackedButton::Norvix, paviseStatus,
                norvixStatus, m_settings));
        m_host.Set(codeKey, L"");
        const std::wstring pageKey = L"KelTb.Url." + button + L".Navigate." + state;
        m_host.Set(pageKey, L"page-of-" + pageKey);
        EXPECT_EQ(opensPage ? L"page-of-" + pageKey : L"",
            pavise ? core::PaviseClickPage(paviseStatus, m_settings) : core::NorvixClickPage(norvixStatus, m_settings));
    }

    // The animation's pace is the setting of the moment.
    m_host.Set(L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", L"250");
    EXPECT_EQ(250u, core::NorvixLook(net::NorvixStatus::Updating, m_settings).frameInterval);
    m_host.Set(L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", L"90");
    EXPECT_EQ(90u, core::NorvixLook(net::NorvixStatus::Updating, m_settings).frameInterval);
}

}  // namespace
