// What each product state shows on the two buttons and what a click does in it, row by row. The host answers
// every text key with "<key>" so that each row shows which setting it took.

#include "Core/StatusLooks.h"
#include "res/resource.h"
#include "support/FakeHostStrings.h"

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

std::wstring Key(const wchar_t* key)
{
    return std::wstring(L"<") + key + L">";
}

class StatusLooksTest : public ::testing::Test
{
protected:
    KeyEchoHost m_host;
    core::ControllerSettings m_settings{m_host, [](const wchar_t*, const wchar_t*, std::wstring&) { return FALSE; }};
};

const std::vector<UINT> kFrames = {1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1031, 1032, 1033};

TEST_F(StatusLooksTest, EveryStateOfBothButtonsShowsItsRow)
{
    struct Row
    {
        const char* name;
        bool pavise;
        int status;
        core::ButtonLook expected;
    };
    const auto look = [](UINT icon, const wchar_t* title, const wchar_t* tooltip, BOOL visible, BOOL enabled) {
        return core::ButtonLook{icon, {}, 0, Key(title), tooltip ? Key(tooltip) : L"", visible, enabled};
    };
    core::ButtonLook updating = look(0, L"KelTb.Str.Norvix.Updating", nullptr, TRUE, FALSE);
    updating.frames = kFrames;
    updating.frameInterval = 0;  // "<key>" reads as no number
    const Row rows[] = {
        {"protection ConnectionFailure", true, -2,
            look(IDI_STATUS_UNKNOWN, L"KelTb.Str.Pavise.ConnectionFailure", L"KelTb.Str.TT.Pavise.ConnectionFailure",
                FALSE, TRUE)},
        {"protection Error", true, -1,
            look(IDI_STATUS_UNKNOWN, L"KelTb.Str.Pavise.Error", L"KelTb.Str.TT.Pavise.Error", FALSE, TRUE)},
        {"protection Default", true, 0,
            look(IDI_STATUS_UNKNOWN, L"KelTb.Str.Pavise.Default", L"KelTb.Str.TT.Pavise.Default", FALSE, TRUE)},
        {"protection Activated", true, 1,
            look(IDI_STATUS_GOOD, L"KelTb.Str.Pavise.Activated", L"KelTb.Str.TT.Pavise.Activated", TRUE, FALSE)},
        {"protection Deactivated", true, 2,
            look(IDI_STATUS_ACTION, L"KelTb.Str.Pavise.Deactivated", L"KelTb.Str.TT.Pavise.Deactivated", TRUE, TRUE)},
        {"update ConnectionFailure", false, -2,
            look(IDI_STATUS_UNKNOWN, L"KelTb.Str.Norvix.ConnectionFailure", L"KelTb.Str.TT.Norvix.ConnectionFailure",
                TRUE, TRUE)},
        {"update Error", false, -1,
            look(IDI_STATUS_UNKNOWN, L"KelTb.Str.Norvix.Error", L"KelTb.Str.TT.Norvix.Error", TRUE, TRUE)},
        {"update Default", false, 0,
            look(IDI_STATUS_UNKNOWN, L"KelTb.Str.Norvix.Default", L"KelTb.Str.TT.Norvix.Default", TRUE, TRUE)},
        {"update Uptodate", false, 1,
            look(IDI_STATUS_GOOD, L"KelTb.Str.Norvix.Uptodate", L"KelTb.Str.TT.Norvix.Uptodate", TRUE, FALSE)},
        {"update Update", false, 2,
            look(IDI_STATUS_ACTION, L"KelTb.Str.Norvix.Update", L"KelTb.Str.TT.Norvix.Update", TRUE, TRUE)},
        {"update Updating", false, 3, updating},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        const core::ButtonLook shown = row.pavise
            ? core::PaviseLook(static_cast<net::PaviseStatus>(row.status), m_settings)
            : core::NorvixLook(static_cast<net::NorvixStatus>(row.status), m_settings);
        EXPECT_EQ(row.expected.iconId, shown.iconId);
        EXPECT_EQ(row.expected.frames, shown.frames);
        EXPECT_EQ(row.expected.title, shown.title);
        EXPECT_EQ(row.expected.tooltip, shown.tooltip);
        EXPECT_EQ(row.expected.visible, shown.visible);
        EXPECT_EQ(row.expected.enabled, shown.enabled);
    }

    // The animation's pace is the setting of the moment.
    m_host.EchoKeys(false);
    m_host.Set(L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", L"250");
    EXPECT_EQ(250u, core::NorvixLook(net::NorvixStatus::Updating, m_settings).frameInterval);
    m_host.Set(L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", L"90");
    EXPECT_EQ(90u, core::NorvixLook(net::NorvixStatus::Updating, m_settings).frameInterval);
}

TEST_F(StatusLooksTest, EveryClickReportsItsCodeAndOpensItsPage)
{
    struct Row
    {
        const char* name;
        core::TrackedButton button;
        int status;
        const wchar_t* codeKey;
        const wchar_t* pageKey;  // null: no page
    };
    const Row rows[] = {
        {"protection ConnectionFailure", core::TrackedButton::Pavise, -2, L"KelTb.Str.Pavise.Button.Tracking.Default",
            L"KelTb.Url.Pavise.Navigate.ConnectionFailure"},
        {"protection Error", core::TrackedButton::Pavise, -1, L"KelTb.Str.Pavise.Button.Tracking.Default",
            L"KelTb.Url.Pavise.Navigate.Error"},
        {"protection Default", core::TrackedButton::Pavise, 0, L"KelTb.Str.Pavise.Button.Tracking.Default",
            L"KelTb.Url.Pavise.Navigate.Default"},
        {"protection Activated", core::TrackedButton::Pavise, 1, L"KelTb.Str.Pavise.Button.Tracking.Default",
            L"KelTb.Url.Pavise.Navigate.Activated"},
        {"protection Deactivated", core::TrackedButton::Pavise, 2, L"KelTb.Str.Pavise.Button.Tracking.Deactivated",
            L"KelTb.Url.Pavise.Navigate.Deactivated"},
        {"update ConnectionFailure", core::TrackedButton::Norvix, -2,
            L"KelTb.Str.Norvix.Button.Tracking.ConnectionFailure", L"KelTb.Url.Norvix.Navigate.ConnectionFailure"},
        {"update Error", core::TrackedButton::Norvix, -1, L"KelTb.Str.Norvix.Button.Tracking.Error",
            L"KelTb.Url.Norvix.Navigate.Error"},
        {"update Default", core::TrackedButton::Norvix, 0, L"KelTb.Str.Norvix.Button.Tracking.Default",
            L"KelTb.Url.Norvix.Navigate.Default"},
        {"update Uptodate", core::TrackedButton::Norvix, 1, L"KelTb.Str.Norvix.Button.Tracking.Default", nullptr},
        {"update Update", core::TrackedButton::Norvix, 2, L"KelTb.Str.Norvix.Button.Tracking.Update", nullptr},
        {"update Updating", core::TrackedButton::Norvix, 3, L"KelTb.Str.Norvix.Button.Tracking.Default", nullptr},
    };
    // The placeholder stands twice in the address; both take the code, and nothing else changes.
    m_host.EchoKeys(false);
    m_host.Set(L"KelTb.Str.Button.Tracking.Macro", L"@CODE@");
    m_host.Set(L"KelTb.Url.PaviseTracking", L"http://t.example/p?but=@CODE@&again=@CODE@");
    m_host.Set(L"KelTb.Url.NovrixUpdateTracking", L"http://t.example/u?but=@CODE@&again=@CODE@");
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        const bool pavise = row.button == core::TrackedButton::Pavise;
        m_host.Set(row.codeKey, std::wstring(L"code-of-") + row.codeKey);
        const std::wstring code = std::wstring(L"code-of-") + row.codeKey;
        const auto paviseStatus = pavise ? static_cast<net::PaviseStatus>(row.status) : net::PaviseStatus::Default;
        const auto norvixStatus = pavise ? net::NorvixStatus::Default : static_cast<net::NorvixStatus>(row.status);
        EXPECT_EQ(
            std::wstring(L"expanded:http://t.example/") + (pavise ? L"p" : L"u") + L"?but=" + code + L"&again=" + code,
            core::TrackingUrl(row.button, paviseStatus, norvixStatus, m_settings));
        m_host.Set(row.codeKey, L"");

        if (row.pageKey)
        {
            m_host.Set(row.pageKey, std::wstring(L"page-of-") + row.pageKey);
        }
        const std::wstring page =
            pavise ? core::PaviseClickPage(paviseStatus, m_settings) : core::NorvixClickPage(norvixStatus, m_settings);
        EXPECT_EQ(row.pageKey ? std::wstring(L"page-of-") + row.pageKey : L"", page);
    }
}

TEST_F(StatusLooksTest, APlaceholderThatIsNotInTheAddressChangesNothingAndAnEmptyOneReplacesNothing)
{
    m_host.EchoKeys(false);
    m_host.Set(L"KelTb.Url.PaviseTracking", L"http://t.example/p?but=BUT_ID");
    for (const wchar_t* macro : {L"NOT_THERE", L""})
    {
        SCOPED_TRACE(testing::Message() << "placeholder \"" << std::string(macro, macro + wcslen(macro)) << '"');
        m_host.Set(L"KelTb.Str.Button.Tracking.Macro", macro);
        EXPECT_EQ(L"expanded:http://t.example/p?but=BUT_ID",
            core::TrackingUrl(
                core::TrackedButton::Pavise, net::PaviseStatus::Deactivated, net::NorvixStatus::Default, m_settings));
    }
}

}  // namespace
