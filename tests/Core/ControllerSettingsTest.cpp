#include "Core/ControllerSettings.h"
#include "support/FakeHostStrings.h"

#include <gtest/gtest.h>

#include <climits>
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
    ControllerSettings m_settings{m_host, [this](const wchar_t* subkey, const wchar_t* valueName, std::wstring& value) {
                                      return ReadStored(subkey, valueName, value);
                                  }};
};

} // namespace

TEST_F(ControllerSettingsTest, EachGetterAsksForItsOwnKey)
{
    using TextGetter = std::wstring (ControllerSettings::*)() const;
    struct Case
    {
        TextGetter getter;
        const wchar_t* key;
    };
    const Case cases[] = {
        {&ControllerSettings::GetMacroRegistryKey, L"KelTb.Str.Macro.RegistryKey"},
        {&ControllerSettings::GetGuidRegistryValue, L"KelTb.Str.GUID.RegistryValue"},
        {&ControllerSettings::GetPrefsRegistryKey, L"KelTb.Str.Prefs.RegistryKey"},
        {&ControllerSettings::GetTextLabelsRegistryValue, L"KelTb.Str.TextLabels.RegistryValue"},
        {&ControllerSettings::GetPaviseConnectionFailureText, L"KelTb.Str.Pavise.ConnectionFailure"},
        {&ControllerSettings::GetPaviseErrorText, L"KelTb.Str.Pavise.Error"},
        {&ControllerSettings::GetPaviseDefaultText, L"KelTb.Str.Pavise.Default"},
        {&ControllerSettings::GetPaviseActivatedText, L"KelTb.Str.Pavise.Activated"},
        {&ControllerSettings::GetPaviseDeactivatedText, L"KelTb.Str.Pavise.Deactivated"},
        {&ControllerSettings::GetPaviseConnectionFailureTooltip, L"KelTb.Str.TT.Pavise.ConnectionFailure"},
        {&ControllerSettings::GetPaviseErrorTooltip, L"KelTb.Str.TT.Pavise.Error"},
        {&ControllerSettings::GetPaviseDefaultTooltip, L"KelTb.Str.TT.Pavise.Default"},
        {&ControllerSettings::GetPaviseActivatedTooltip, L"KelTb.Str.TT.Pavise.Activated"},
        {&ControllerSettings::GetPaviseDeactivatedTooltip, L"KelTb.Str.TT.Pavise.Deactivated"},
        {&ControllerSettings::GetNorvixConnectionFailureText, L"KelTb.Str.Norvix.ConnectionFailure"},
        {&ControllerSettings::GetNorvixErrorText, L"KelTb.Str.Norvix.Error"},
        {&ControllerSettings::GetNorvixDefaultText, L"KelTb.Str.Norvix.Default"},
        {&ControllerSettings::GetNorvixUptodateText, L"KelTb.Str.Norvix.Uptodate"},
        {&ControllerSettings::GetNorvixUpdateText, L"KelTb.Str.Norvix.Update"},
        {&ControllerSettings::GetNorvixUpdatingText, L"KelTb.Str.Norvix.Updating"},
        {&ControllerSettings::GetNorvixConnectionFailureTooltip, L"KelTb.Str.TT.Norvix.ConnectionFailure"},
        {&ControllerSettings::GetNorvixErrorTooltip, L"KelTb.Str.TT.Norvix.Error"},
        {&ControllerSettings::GetNorvixDefaultTooltip, L"KelTb.Str.TT.Norvix.Default"},
        {&ControllerSettings::GetNorvixUptodateTooltip, L"KelTb.Str.TT.Norvix.Uptodate"},
        {&ControllerSettings::GetNorvixUpdateTooltip, L"KelTb.Str.TT.Norvix.Update"},
        {&ControllerSettings::GetButtonTrackingMacro, L"KelTb.Str.Button.Tracking.Macro"},
        {&ControllerSettings::GetPaviseButtonTrackingDefault, L"KelTb.Str.Pavise.Button.Tracking.Default"},
        {&ControllerSettings::GetPaviseButtonTrackingDeactivated, L"KelTb.Str.Pavise.Button.Tracking.Deactivated"},
        {&ControllerSettings::GetNorvixButtonTrackingDefault, L"KelTb.Str.Norvix.Button.Tracking.Default"},
        {&ControllerSettings::GetNorvixButtonTrackingUpdate, L"KelTb.Str.Norvix.Button.Tracking.Update"},
        {&ControllerSettings::GetNorvixButtonTrackingConnectionFailure,
         L"KelTb.Str.Norvix.Button.Tracking.ConnectionFailure"},
        {&ControllerSettings::GetNorvixButtonTrackingError, L"KelTb.Str.Norvix.Button.Tracking.Error"},
        {&ControllerSettings::GetPaviseTrackingUrl, L"KelTb.Url.PaviseTracking"},
        {&ControllerSettings::GetNorvixUpdateTrackingUrl, L"KelTb.Url.NovrixUpdateTracking"},
        {&ControllerSettings::GetPaviseNavigateConnectionFailureUrl, L"KelTb.Url.Pavise.Navigate.ConnectionFailure"},
        {&ControllerSettings::GetPaviseNavigateErrorUrl, L"KelTb.Url.Pavise.Navigate.Error"},
        {&ControllerSettings::GetPaviseNavigateDefaultUrl, L"KelTb.Url.Pavise.Navigate.Default"},
        {&ControllerSettings::GetPaviseNavigateActivatedUrl, L"KelTb.Url.Pavise.Navigate.Activated"},
        {&ControllerSettings::GetPaviseNavigateDeactivatedUrl, L"KelTb.Url.Pavise.Navigate.Deactivated"},
        {&ControllerSettings::GetNorvixNavigateConnectionFailureUrl, L"KelTb.Url.Norvix.Navigate.ConnectionFailure"},
        {&ControllerSettings::GetNorvixNavigateErrorUrl, L"KelTb.Url.Norvix.Navigate.Error"},
        {&ControllerSettings::GetNorvixNavigateDefaultUrl, L"KelTb.Url.Norvix.Navigate.Default"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.key);
        m_host.Set(c.key, std::wstring(L"value of ") + c.key);
        EXPECT_EQ((m_settings.*c.getter)(), std::wstring(L"value of ") + c.key);
    }

    using NumberGetter = std::int32_t (ControllerSettings::*)() const;
    const std::pair<NumberGetter, const wchar_t*> numbers[] = {
        {&ControllerSettings::GetPullingInstanceLockWaitTimeMs, L"KelTb.Str.Pulling.Instance.Lock.WaitTime"},
        {&ControllerSettings::GetStatusDefaultIntervalSecs, L"KelTb.Str.Norvix.Status.Default.Interval"},
        {&ControllerSettings::GetStatusRetryIntervalSecs, L"KelTb.Str.Norvix.Status.Retry.Interval"},
        {&ControllerSettings::GetStatusUpdateIntervalSecs, L"KelTb.Str.Norvix.Status.Update.Interval"},
        {&ControllerSettings::GetAnimateWaitBetweenImagesMs, L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval"},
    };
    std::int32_t distinct = 1000;
    for (const auto& [getter, key] : numbers)
    {
        SCOPED_TRACE(key);
        m_host.Set(key, std::to_wstring(++distinct));
        EXPECT_EQ((m_settings.*getter)(), distinct);
    }
}

TEST_F(ControllerSettingsTest, NumbersAreReadLikeDecimalWcstol)
{
    const std::pair<const wchar_t*, std::int32_t> cases[] = {
        {L"45ms", 45}, {L" \t45", 45}, {L"abc", 0}, {L"-7", -7}, {L"2147483648", INT_MAX},
    };
    for (const auto& [text, expected] : cases)
    {
        SCOPED_TRACE(text);
        m_host.Set(L"KelTb.Str.Pulling.Instance.Lock.WaitTime", text);
        EXPECT_EQ(m_settings.GetPullingInstanceLockWaitTimeMs(), expected);
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
                         Case{L" 0", TRUE, false}, Case{L"", TRUE, true}, Case{L"1", TRUE, true},
                         Case{L"2", TRUE, true}, Case{L"-1", TRUE, true}, Case{L"0", FALSE, true}})
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
