#include "Core/ControllerSettings.h"
#include "support/FakeHostStrings.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

struct Read
{
    std::wstring subkey;
    std::wstring valueName;
};

class ControllerSettingsTest : public ::testing::Test
{
protected:
    // The registry as the settings see it: one stored text, or nothing readable.
    BOOL ReadStored(const wchar_t* subkey, const wchar_t* valueName, std::wstring& value)
    {
        m_reads.push_back({subkey, valueName});
        value = m_stored;
        return m_readable;
    }

    testing_support::FakeHostStrings m_host;
    std::wstring m_stored;
    BOOL m_readable = TRUE;
    std::vector<Read> m_reads;
    core::ControllerSettings m_settings{
        m_host, [this](const wchar_t* subkey, const wchar_t* valueName, std::wstring& value) {
            return ReadStored(subkey, valueName, value);
        }};
};

}  // namespace

TEST_F(ControllerSettingsTest, EveryKeyHasItsBuiltInDefaultAndTheHostsValueWins)
{
    using TextGetter = std::wstring (core::ControllerSettings::*)() const;
    const wchar_t* const unavailable = L"Norvix is unavailable. To ensure your protection, check to make sure that "
                                       L"your application is still installed and running";
    struct Case
    {
        TextGetter getter;
        const wchar_t* key;
        const wchar_t* defaultValue;
    };
    const Case cases[] = {
        {&core::ControllerSettings::GetMacroRegistryKey, L"KelTb.Str.Macro.RegistryKey", L"Macro"},
        {&core::ControllerSettings::GetGuidRegistryValue, L"KelTb.Str.GUID.RegistryValue", L"guid"},
        {&core::ControllerSettings::GetPrefsRegistryKey, L"KelTb.Str.Prefs.RegistryKey", L"Prefs"},
        {&core::ControllerSettings::GetTextLabelsRegistryValue, L"KelTb.Str.TextLabels.RegistryValue", L"TextLabels"},
        {&core::ControllerSettings::GetPaviseConnectionFailureText, L"KelTb.Str.Pavise.ConnectionFailure",
            L"Norvix is unavailable"},
        {&core::ControllerSettings::GetPaviseErrorText, L"KelTb.Str.Pavise.Error", L"Norvix reported an error"},
        {&core::ControllerSettings::GetPaviseDefaultText, L"KelTb.Str.Pavise.Default", L""},
        {&core::ControllerSettings::GetPaviseActivatedText, L"KelTb.Str.Pavise.Activated", L"Pavise Activated"},
        {&core::ControllerSettings::GetPaviseDeactivatedText, L"KelTb.Str.Pavise.Deactivated", L"Pavise Deactivated"},
        {&core::ControllerSettings::GetPaviseConnectionFailureTooltip, L"KelTb.Str.TT.Pavise.ConnectionFailure",
            unavailable},
        {&core::ControllerSettings::GetPaviseErrorTooltip, L"KelTb.Str.TT.Pavise.Error", L"Norvix reported an error"},
        {&core::ControllerSettings::GetPaviseDefaultTooltip, L"KelTb.Str.TT.Pavise.Default", L""},
        {&core::ControllerSettings::GetPaviseActivatedTooltip, L"KelTb.Str.TT.Pavise.Activated",
            L"Pavise is turned on, your PC is protected"},
        {&core::ControllerSettings::GetPaviseDeactivatedTooltip, L"KelTb.Str.TT.Pavise.Deactivated",
            L"Pavise is turned off, Turn on Pavise to be protected"},
        {&core::ControllerSettings::GetNorvixConnectionFailureText, L"KelTb.Str.Norvix.ConnectionFailure",
            L"Norvix is unavailable"},
        {&core::ControllerSettings::GetNorvixErrorText, L"KelTb.Str.Norvix.Error", L"Norvix reported an error"},
        {&core::ControllerSettings::GetNorvixDefaultText, L"KelTb.Str.Norvix.Default", L""},
        {&core::ControllerSettings::GetNorvixUptodateText, L"KelTb.Str.Norvix.Uptodate", L"Daily update complete"},
        {&core::ControllerSettings::GetNorvixUpdateText, L"KelTb.Str.Norvix.Update", L"Update Norvix"},
        {&core::ControllerSettings::GetNorvixUpdatingText, L"KelTb.Str.Norvix.Updating", L"Updating..."},
        {&core::ControllerSettings::GetNorvixConnectionFailureTooltip, L"KelTb.Str.TT.Norvix.ConnectionFailure",
            unavailable},
        {&core::ControllerSettings::GetNorvixErrorTooltip, L"KelTb.Str.TT.Norvix.Error", L"Norvix reported an error"},
        {&core::ControllerSettings::GetNorvixDefaultTooltip, L"KelTb.Str.TT.Norvix.Default", L""},
        {&core::ControllerSettings::GetNorvixUptodateTooltip, L"KelTb.Str.TT.Norvix.Uptodate",
            L"Norvix Solo edition is up to date, your PC is protected"},
        {&core::ControllerSettings::GetNorvixUpdateTooltip, L"KelTb.Str.TT.Norvix.Update",
            L"Your software is out of date, click here to download the latest update to keep your PC protected"},
        {&core::ControllerSettings::GetButtonTrackingMacro, L"KelTb.Str.Button.Tracking.Macro", L"BUT_ID"},
        {&core::ControllerSettings::GetPaviseButtonTrackingDefault, L"KelTb.Str.Pavise.Button.Tracking.Default",
            L"202"},
        {&core::ControllerSettings::GetPaviseButtonTrackingDeactivated, L"KelTb.Str.Pavise.Button.Tracking.Deactivated",
            L"202"},
        {&core::ControllerSettings::GetNorvixButtonTrackingDefault, L"KelTb.Str.Norvix.Button.Tracking.Default",
            L"203"},
        {&core::ControllerSettings::GetNorvixButtonTrackingUpdate, L"KelTb.Str.Norvix.Button.Tracking.Update", L"203"},
        {&core::ControllerSettings::GetNorvixButtonTrackingConnectionFailure,
            L"KelTb.Str.Norvix.Button.Tracking.ConnectionFailure", L"204"},
        {&core::ControllerSettings::GetNorvixButtonTrackingError, L"KelTb.Str.Norvix.Button.Tracking.Error", L"205"},
        {&core::ControllerSettings::GetPaviseNavigateDefaultUrl, L"KelTb.Url.Pavise.Navigate.Default", L""},
        {&core::ControllerSettings::GetPaviseNavigateActivatedUrl, L"KelTb.Url.Pavise.Navigate.Activated", L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.defaultValue, (m_settings.*c.getter)());
        m_host.Set(c.key, std::wstring(L"value of ") + c.key);
        EXPECT_EQ(std::wstring(L"value of ") + c.key, (m_settings.*c.getter)());
    }

    // The maker's pages: the communication page without a scheme (the browser completes it), the others http.
    const struct
    {
        TextGetter getter;
        const wchar_t* key;
        const wchar_t* scheme;
        const wchar_t* pathEnd;
    } pages[] = {
        {&core::ControllerSettings::GetPaviseNavigateConnectionFailureUrl,
            L"KelTb.Url.Pavise.Navigate.ConnectionFailure", L"", L"/kb-toolbar-communication"},
        {&core::ControllerSettings::GetPaviseNavigateErrorUrl, L"KelTb.Url.Pavise.Navigate.Error", L"http://",
            L"/en/support"},
        {&core::ControllerSettings::GetPaviseNavigateDeactivatedUrl, L"KelTb.Url.Pavise.Navigate.Deactivated",
            L"http://", L"/kb-toolbar-uninstall"},
        {&core::ControllerSettings::GetNorvixNavigateConnectionFailureUrl,
            L"KelTb.Url.Norvix.Navigate.ConnectionFailure", L"", L"/kb-toolbar-communication"},
        {&core::ControllerSettings::GetNorvixNavigateErrorUrl, L"KelTb.Url.Norvix.Navigate.Error", L"http://",
            L"/en/support"},
        {&core::ControllerSettings::GetNorvixNavigateDefaultUrl, L"KelTb.Url.Norvix.Navigate.Default", L"",
            L"/kb-toolbar-communication"},
    };
    for (const auto& page : pages)
    {
        SCOPED_TRACE(page.key);
        const std::wstring url = (m_settings.*page.getter)();
        const std::wstring end = page.pathEnd;
        ASSERT_GT(url.size(), end.size());
        EXPECT_EQ(end, url.substr(url.size() - end.size()));
        if (*page.scheme)
        {
            EXPECT_EQ(0u, url.rfind(page.scheme, 0));
        }
        else
        {
            EXPECT_EQ(std::wstring::npos, url.find(L"://"));
        }
        m_host.Set(page.key, L"http://elsewhere.example/");
        EXPECT_EQ(L"http://elsewhere.example/", (m_settings.*page.getter)());
    }

    using NumberGetter = std::int32_t (core::ControllerSettings::*)() const;
    const struct
    {
        NumberGetter getter;
        const wchar_t* key;
        std::int32_t defaultValue;
    } numbers[] = {
        {&core::ControllerSettings::GetPullingInstanceLockWaitTimeMs, L"KelTb.Str.Pulling.Instance.Lock.WaitTime", 45},
        {&core::ControllerSettings::GetStatusDefaultIntervalSecs, L"KelTb.Str.Norvix.Status.Default.Interval", 30},
        {&core::ControllerSettings::GetStatusRetryIntervalSecs, L"KelTb.Str.Norvix.Status.Retry.Interval", 60},
        {&core::ControllerSettings::GetStatusUpdateIntervalSecs, L"KelTb.Str.Norvix.Status.Update.Interval", 30},
        {&core::ControllerSettings::GetAnimateWaitBetweenImagesMs,
            L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", 90},
    };
    for (const auto& number : numbers)
    {
        SCOPED_TRACE(number.key);
        EXPECT_EQ(number.defaultValue, (m_settings.*number.getter)());
        m_host.Set(number.key, L"1234");
        EXPECT_EQ(1234, (m_settings.*number.getter)());
    }
}

TEST_F(ControllerSettingsTest, TrackingUrlsComeBackExpandedWithTheirPosition)
{
    m_host.SetMacro(L"{guid}", L"G-1");
    m_host.SetMacro(L"{random}", L"42");
    const std::wstring pavise = m_settings.GetPaviseTrackingUrl();
    const std::wstring norvix = m_settings.GetNorvixUpdateTrackingUrl();
    for (const std::wstring& url : {pavise, norvix})
    {
        SCOPED_TRACE(url);
        EXPECT_EQ(url.rfind(L"http://", 0), 0u);
        EXPECT_NE(url.find(L"/images/nocache/zun/button.gif?t=q&d=a&"), std::wstring::npos);
        EXPECT_NE(url.find(L"&guid=G-1&"), std::wstring::npos);
        EXPECT_NE(url.find(L"&random=42"), std::wstring::npos);
        EXPECT_NE(url.find(L"&but=BUT_ID&"), std::wstring::npos);
    }
    EXPECT_NE(pavise.find(L"&pos=P01&"), std::wstring::npos);
    EXPECT_NE(norvix.find(L"&pos=P02&"), std::wstring::npos);

    m_host.Set(L"KelTb.Url.PaviseTracking", L"http://t.example/{guid}/{guid}");
    EXPECT_EQ(m_settings.GetPaviseTrackingUrl(), L"http://t.example/G-1/G-1");
}

TEST_F(ControllerSettingsTest, WithoutHostEverythingIsEmptyOrZero)
{
    m_host.Detach();
    EXPECT_EQ(m_settings.GetStatusDefaultIntervalSecs(), 0);
    EXPECT_EQ(m_settings.GetPullingInstanceLockWaitTimeMs(), 0);
    EXPECT_EQ(m_settings.GetNorvixUpdateText(), L"");
    EXPECT_EQ(m_settings.GetPaviseTrackingUrl(), L"");
}

TEST_F(ControllerSettingsTest, TextLabelsAreHiddenOnlyByAStoredZero)
{
    struct Case
    {
        const wchar_t* stored;
        BOOL readable;
        bool shown;
    };
    for (const Case c : {Case{L"0", TRUE, false}, Case{L"00", TRUE, false}, Case{L"x", TRUE, false},
             Case{L" 0", TRUE, false}, Case{L"", TRUE, true}, Case{L"1", TRUE, true}, Case{L"2", TRUE, true},
             Case{L"-1", TRUE, true}, Case{L"0", FALSE, true}})
    {
        SCOPED_TRACE(testing::Message() << c.stored << (c.readable ? "" : " (unreadable)"));
        m_stored = c.stored;
        m_readable = c.readable;
        EXPECT_EQ(m_settings.GetShowTextLabels(), c.shown);
    }
    ASSERT_FALSE(m_reads.empty());
    EXPECT_EQ(m_reads.back().subkey, L"Prefs");
    EXPECT_EQ(m_reads.back().valueName, L"TextLabels");

    m_host.Set(L"KelTb.Str.Prefs.RegistryKey", L"Options");
    m_host.Set(L"KelTb.Str.TextLabels.RegistryValue", L"Captions");
    (void)m_settings.GetShowTextLabels();
    EXPECT_EQ(m_reads.back().subkey, L"Options");
    EXPECT_EQ(m_reads.back().valueName, L"Captions");
}

TEST_F(ControllerSettingsTest, InstallationGuidIsTheStoredTextOrEmpty)
{
    m_stored = L"{5C1F2A3B-0000-4000-8000-00000000CAFE}";
    EXPECT_EQ(m_settings.GetInstallationGuid(), m_stored);
    EXPECT_EQ(m_reads.back().subkey, L"Macro");
    EXPECT_EQ(m_reads.back().valueName, L"guid");
    m_readable = FALSE;
    EXPECT_EQ(m_settings.GetInstallationGuid(), L"");
}
