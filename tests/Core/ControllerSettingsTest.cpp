// The control's settings: the built-in default of every key that the buttons, the clicks and the polling worker
// read, and the two values read from the toolbar's registry branch. That each look and click takes the host's
// value of its key is the business of StatusLooksTest; that each interval does, of PollScheduleTest.

#include "Core/ControllerSettings.h"
#include "Core/PollSchedule.h"
#include "Core/StatusLooks.h"
#include "support/FakeHostStrings.h"

#include <gtest/gtest.h>

#include <map>

namespace
{

// A host that knows no key: it answers each with the caller's default, and notes which default each key had.
class DefaultsHost : public testing_support::FakeHostStrings
{
public:
    std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override
    {
        asked[key] = defaultValue;
        return FakeHostStrings::GetHostString(key, defaultValue);
    }

    std::map<std::wstring, std::wstring> asked;
};

const wchar_t kUnavailable[] = L"Norvix is unavailable. To ensure your protection, check to make sure that your "
                               L"application is still installed and running";
const wchar_t kCommunicationPage[] = L"www.norvix-security.example/kb-toolbar-communication";
const wchar_t kSupportPage[] = L"http://www.norvix-security.example/en/support";
const wchar_t kTracking[] = L"http://track.norvix-toolbar.example/images/nocache/zun/button.gif?t=q&d=a&cb={cbid}"
                            L"&trk={dtid}&guid={guid}&typ=cb&but=BUT_ID&pos=P0";
const wchar_t kTrackingEnd[] = L"&loc={locale.underscore}&random={random}";

TEST(ControllerSettingsTest, EveryKeyReadByTheButtonsTheClicksAndThePassHasItsBuiltInDefault)
{
    DefaultsHost host;
    const core::ControllerSettings settings(host, [](const wchar_t*, const wchar_t*, std::wstring&) { return FALSE; });
    for (std::int32_t status = -2; status <= 3; ++status)
    {
        const auto pavise = static_cast<net::PaviseStatus>(status);
        const auto norvix = static_cast<net::NorvixStatus>(status);
        (void)core::PaviseLook(pavise, settings);
        (void)core::NorvixLook(norvix, settings);
        (void)core::PaviseClickPage(pavise, settings);
        (void)core::NorvixClickPage(norvix, settings);
        (void)core::TrackingUrl(core::TrackedButton::Pavise, pavise, norvix, settings);
        (void)core::TrackingUrl(core::TrackedButton::Norvix, pavise, norvix, settings);
        (void)core::PollIntervalSeconds(status, settings);
    }
    (void)settings.GetPullingInstanceLockWaitTimeMs();
    (void)settings.GetShowTextLabels();
    (void)settings.GetInstallationGuid();

    // The captions that the integration tests read off a real host's buttons and the tracking codes of the clicks
    // they and ControllerTest make are theirs; the registry names of the GUID, the next test's.
    const std::pair<const wchar_t*, std::wstring> defaults[] = {{L"KelTb.Str.Pulling.Instance.Lock.WaitTime", L"45"},
        {L"KelTb.Str.Norvix.Status.Default.Interval", L"30"}, {L"KelTb.Str.Norvix.Status.Retry.Interval", L"60"},
        {L"KelTb.Str.Norvix.Status.Update.Interval", L"30"},
        {L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", L"90"}, {L"KelTb.Str.Prefs.RegistryKey", L"Prefs"},
        {L"KelTb.Str.TextLabels.RegistryValue", L"TextLabels"},
        {L"KelTb.Str.Pavise.ConnectionFailure", L"Norvix is unavailable"},
        {L"KelTb.Str.Pavise.Error", L"Norvix reported an error"}, {L"KelTb.Str.Pavise.Default", L""},
        {L"KelTb.Str.TT.Pavise.ConnectionFailure", kUnavailable},
        {L"KelTb.Str.TT.Pavise.Error", L"Norvix reported an error"}, {L"KelTb.Str.TT.Pavise.Default", L""},
        {L"KelTb.Str.TT.Pavise.Activated", L"Pavise is turned on, your PC is protected"},
        {L"KelTb.Str.TT.Pavise.Deactivated", L"Pavise is turned off, Turn on Pavise to be protected"},
        {L"KelTb.Str.Norvix.ConnectionFailure", L"Norvix is unavailable"},
        {L"KelTb.Str.Norvix.Error", L"Norvix reported an error"}, {L"KelTb.Str.Norvix.Default", L""},
        {L"KelTb.Str.TT.Norvix.ConnectionFailure", kUnavailable},
        {L"KelTb.Str.TT.Norvix.Error", L"Norvix reported an error"}, {L"KelTb.Str.TT.Norvix.Default", L""},
        {L"KelTb.Str.TT.Norvix.Uptodate", L"Norvix Solo edition is up to date, your PC is protected"},
        {L"KelTb.Str.TT.Norvix.Update",
            L"Your software is out of date, click here to download the latest update to keep your PC protected"},
        {L"KelTb.Str.Pavise.Button.Tracking.Default", L"202"}, {L"KelTb.Str.Norvix.Button.Tracking.Default", L"203"},
        {L"KelTb.Str.Norvix.Button.Tracking.ConnectionFailure", L"204"},
        {L"KelTb.Str.Norvix.Button.Tracking.Error", L"205"},
        {L"KelTb.Url.PaviseTracking", kTracking + std::wstring(L"1") + kTrackingEnd},
        {L"KelTb.Url.NovrixUpdateTracking", kTracking + std::wstring(L"2") + kTrackingEnd},
        {L"KelTb.Url.Pavise.Navigate.ConnectionFailure", kCommunicationPage},
        {L"KelTb.Url.Pavise.Navigate.Error", kSupportPage}, {L"KelTb.Url.Pavise.Navigate.Default", L""},
        {L"KelTb.Url.Pavise.Navigate.Activated", L""},
        {L"KelTb.Url.Pavise.Navigate.Deactivated", L"http://www.norvix-security.example/kb-toolbar-uninstall"},
        {L"KelTb.Url.Norvix.Navigate.ConnectionFailure", kCommunicationPage},
        {L"KelTb.Url.Norvix.Navigate.Error", kSupportPage}, {L"KelTb.Url.Norvix.Navigate.Default", kCommunicationPage}};
    for (const auto& [key, value] : defaults)
    {
        SCOPED_TRACE(testing::Message() << key);
        const auto found = host.asked.find(key);
        ASSERT_NE(host.asked.end(), found) << "never read";
        EXPECT_EQ(value, found->second);
    }

    // Without a host every text is "", and so every interval 0: a poll is due at every pass.
    host.Detach();
    EXPECT_EQ(0, core::PollIntervalSeconds(0, settings));
}

TEST(ControllerSettingsTest, TheRegistryValuesAreReadWhereTheHostsKeysSay)
{
    testing_support::FakeHostStrings host;
    std::wstring stored;
    BOOL readable = TRUE;
    std::wstring read;
    const core::ControllerSettings settings(
        host, [&](const wchar_t* subkey, const wchar_t* valueName, std::wstring& value) {
            read = std::wstring(subkey) + L"\\" + valueName;
            value = stored;
            return readable;
        });
    // Captions and tooltips are hidden only by a stored text that reads as the number 0.
    for (const auto& [text, canRead, shown] : {std::tuple{L"0", TRUE, false}, {L"00", TRUE, false}, {L"x", TRUE, false},
             {L"", TRUE, true}, {L"-1", TRUE, true}, {L"0", FALSE, true}})
    {
        SCOPED_TRACE(testing::Message() << text << (canRead ? "" : " (unreadable)"));
        stored = text;
        readable = canRead;
        EXPECT_EQ(shown, settings.GetShowTextLabels());
    }
    host.Set(L"KelTb.Str.Prefs.RegistryKey", L"Options");
    host.Set(L"KelTb.Str.TextLabels.RegistryValue", L"Captions");
    (void)settings.GetShowTextLabels();
    EXPECT_EQ(L"Options\\Captions", read);

    // The installation GUID is the stored text as it is, or "".
    stored = L"{5c1f2a3b-0000-4000-8000-00000000cafe}";
    readable = TRUE;
    EXPECT_EQ(stored, settings.GetInstallationGuid());
    EXPECT_EQ(L"Macro\\guid", read);
    readable = FALSE;
    EXPECT_EQ(L"", settings.GetInstallationGuid());
}

}  // namespace
