#include "Core/ControllerSettings.h"

#include "platform/BrowserUtilities.h"
#include "win/Strings.h"

namespace core
{

namespace
{

// The maker's site and the tracking endpoint of the built-in defaults. The communication page is opened
// without a scheme, as the browser completes it.
constexpr const wchar_t* kCommunicationPage = L"www.norvix-security.example/kb-toolbar-communication";
constexpr const wchar_t* kSupportPage = L"http://www.norvix-security.example/en/support";
constexpr const wchar_t* kUninstallPage = L"http://www.norvix-security.example/kb-toolbar-uninstall";
constexpr const wchar_t* kPaviseTracking =
    L"http://track.norvix-toolbar.example/images/nocache/zun/button.gif?t=q&d=a&cb={cbid}&trk={dtid}&guid={guid}"
    L"&typ=cb&but=BUT_ID&pos=P01&loc={locale.underscore}&random={random}";
constexpr const wchar_t* kNorvixTracking =
    L"http://track.norvix-toolbar.example/images/nocache/zun/button.gif?t=q&d=a&cb={cbid}&trk={dtid}&guid={guid}"
    L"&typ=cb&but=BUT_ID&pos=P02&loc={locale.underscore}&random={random}";

constexpr const wchar_t* kUnavailable = L"Norvix is unavailable";
constexpr const wchar_t* kUnavailableTooltip =
    L"Norvix is unavailable. To ensure your protection, check to make sure that your application is still "
    L"installed and running";
constexpr const wchar_t* kReportedError = L"Norvix reported an error";

}  // namespace

ControllerSettings::ControllerSettings(platform::HostStrings& host, UserValueReader reader)
    : m_host(host), m_reader(std::move(reader))
{
    if (!m_reader)
    {
        m_reader = [](const wchar_t* subkey, const wchar_t* valueName, std::wstring& value) {
            return platform::ReadWriteableUserValue(subkey, valueName, value);
        };
    }
}

std::wstring ControllerSettings::Text(const wchar_t* key, const wchar_t* defaultValue) const
{
    return m_host.GetHostString(key, defaultValue);
}

std::int32_t ControllerSettings::Number(const wchar_t* key, const wchar_t* defaultValue) const
{
    return win::ParseDecimal(Text(key, defaultValue));
}

std::int32_t ControllerSettings::Number(const platform::Setting& setting) const
{
    return Number(setting.key, setting.defaultValue);
}

std::span<const platform::Setting> ControllerSettings::PassSettings() noexcept
{
    static const platform::Setting kSettings[] = {kLockWaitTime, kDefaultInterval, kRetryInterval, kUpdateInterval};
    return kSettings;
}

std::wstring ControllerSettings::ExpandedUrl(const wchar_t* key, const wchar_t* defaultValue) const
{
    return m_host.ExpandHostMacros(Text(key, defaultValue));
}

std::wstring ControllerSettings::ReadUserValue(const std::wstring& subkey, const std::wstring& valueName) const
{
    std::wstring value;
    if (!m_reader(subkey.c_str(), valueName.c_str(), value))
    {
        value.clear();
    }
    return value;
}

std::int32_t ControllerSettings::GetPullingInstanceLockWaitTimeMs() const
{
    return Number(kLockWaitTime);
}

std::int32_t ControllerSettings::GetStatusDefaultIntervalSecs() const
{
    return Number(kDefaultInterval);
}

std::int32_t ControllerSettings::GetStatusRetryIntervalSecs() const
{
    return Number(kRetryInterval);
}

std::int32_t ControllerSettings::GetStatusUpdateIntervalSecs() const
{
    return Number(kUpdateInterval);
}

std::int32_t ControllerSettings::GetAnimateWaitBetweenImagesMs() const
{
    return Number(L"KelTb.Str.Norvix.Animate.WaitBetweenImages.Interval", L"90");
}

std::wstring ControllerSettings::GetMacroRegistryKey() const
{
    return Text(L"KelTb.Str.Macro.RegistryKey", L"Macro");
}

std::wstring ControllerSettings::GetGuidRegistryValue() const
{
    return Text(L"KelTb.Str.GUID.RegistryValue", L"guid");
}

std::wstring ControllerSettings::GetPrefsRegistryKey() const
{
    return Text(L"KelTb.Str.Prefs.RegistryKey", L"Prefs");
}

std::wstring ControllerSettings::GetTextLabelsRegistryValue() const
{
    return Text(L"KelTb.Str.TextLabels.RegistryValue", L"TextLabels");
}

std::wstring ControllerSettings::GetPaviseConnectionFailureText() const
{
    return Text(L"KelTb.Str.Pavise.ConnectionFailure", kUnavailable);
}

std::wstring ControllerSettings::GetPaviseErrorText() const
{
    return Text(L"KelTb.Str.Pavise.Error", kReportedError);
}

std::wstring ControllerSettings::GetPaviseDefaultText() const
{
    return Text(L"KelTb.Str.Pavise.Default", L"");
}

std::wstring ControllerSettings::GetPaviseActivatedText() const
{
    return Text(L"KelTb.Str.Pavise.Activated", L"Pavise Activated");
}

std::wstring ControllerSettings::GetPaviseDeactivatedText() const
{
    return Text(L"KelTb.Str.Pavise.Deactivated", L"Pavise Deactivated");
}

std::wstring ControllerSettings::GetPaviseConnectionFailureTooltip() const
{
    return Text(L"KelTb.Str.TT.Pavise.ConnectionFailure", kUnavailableTooltip);
}

std::wstring ControllerSettings::GetPaviseErrorTooltip() const
{
    return Text(L"KelTb.Str.TT.Pavise.Error", kReportedError);
}

std::wstring ControllerSettings::GetPaviseDefaultTooltip() const
{
    return Text(L"KelTb.Str.TT.Pavise.Default", L"");
}

std::wstring ControllerSettings::GetPaviseActivatedTooltip() const
{
    return Text(L"KelTb.Str.TT.Pavise.Activated", L"Pavise is turned on, your PC is protected");
}

std::wstring ControllerSettings::GetPaviseDeactivatedTooltip() const
{
    return Text(L"KelTb.Str.TT.Pavise.Deactivated", L"Pavise is turned off, Turn on Pavise to be protected");
}

std::wstring ControllerSettings::GetNorvixConnectionFailureText() const
{
    return Text(L"KelTb.Str.Norvix.ConnectionFailure", kUnavailable);
}

std::wstring ControllerSettings::GetNorvixErrorText() const
{
    return Text(L"KelTb.Str.Norvix.Error", kReportedError);
}

std::wstring ControllerSettings::GetNorvixDefaultText() const
{
    return Text(L"KelTb.Str.Norvix.Default", L"");
}

std::wstring ControllerSettings::GetNorvixUptodateText() const
{
    return Text(L"KelTb.Str.Norvix.Uptodate", L"Daily update complete");
}

std::wstring ControllerSettings::GetNorvixUpdateText() const
{
    return Text(L"KelTb.Str.Norvix.Update", L"Update Norvix");
}

std::wstring ControllerSettings::GetNorvixUpdatingText() const
{
    return Text(L"KelTb.Str.Norvix.Updating", L"Updating...");
}

std::wstring ControllerSettings::GetNorvixConnectionFailureTooltip() const
{
    return Text(L"KelTb.Str.TT.Norvix.ConnectionFailure", kUnavailableTooltip);
}

std::wstring ControllerSettings::GetNorvixErrorTooltip() const
{
    return Text(L"KelTb.Str.TT.Norvix.Error", kReportedError);
}

std::wstring ControllerSettings::GetNorvixDefaultTooltip() const
{
    return Text(L"KelTb.Str.TT.Norvix.Default", L"");
}

std::wstring ControllerSettings::GetNorvixUptodateTooltip() const
{
    return Text(L"KelTb.Str.TT.Norvix.Uptodate", L"Norvix Solo edition is up to date, your PC is protected");
}

std::wstring ControllerSettings::GetNorvixUpdateTooltip() const
{
    return Text(L"KelTb.Str.TT.Norvix.Update",
        L"Your software is out of date, click here to download the latest update to keep your PC protected");
}

std::wstring ControllerSettings::GetButtonTrackingMacro() const
{
    return Text(L"KelTb.Str.Button.Tracking.Macro", L"BUT_ID");
}

std::wstring ControllerSettings::GetPaviseButtonTrackingDefault() const
{
    return Text(L"KelTb.Str.Pavise.Button.Tracking.Default", L"202");
}

std::wstring ControllerSettings::GetPaviseButtonTrackingDeactivated() const
{
    return Text(L"KelTb.Str.Pavise.Button.Tracking.Deactivated", L"202");
}

std::wstring ControllerSettings::GetNorvixButtonTrackingDefault() const
{
    return Text(L"KelTb.Str.Norvix.Button.Tracking.Default", L"203");
}

std::wstring ControllerSettings::GetNorvixButtonTrackingUpdate() const
{
    return Text(L"KelTb.Str.Norvix.Button.Tracking.Update", L"203");
}

std::wstring ControllerSettings::GetNorvixButtonTrackingConnectionFailure() const
{
    return Text(L"KelTb.Str.Norvix.Button.Tracking.ConnectionFailure", L"204");
}

std::wstring ControllerSettings::GetNorvixButtonTrackingError() const
{
    return Text(L"KelTb.Str.Norvix.Button.Tracking.Error", L"205");
}

std::wstring ControllerSettings::GetPaviseTrackingUrl() const
{
    return ExpandedUrl(L"KelTb.Url.PaviseTracking", kPaviseTracking);
}

std::wstring ControllerSettings::GetNorvixUpdateTrackingUrl() const
{
    return ExpandedUrl(L"KelTb.Url.NovrixUpdateTracking", kNorvixTracking);
}

std::wstring ControllerSettings::GetPaviseNavigateConnectionFailureUrl() const
{
    return Text(L"KelTb.Url.Pavise.Navigate.ConnectionFailure", kCommunicationPage);
}

std::wstring ControllerSettings::GetPaviseNavigateErrorUrl() const
{
    return Text(L"KelTb.Url.Pavise.Navigate.Error", kSupportPage);
}

std::wstring ControllerSettings::GetPaviseNavigateDefaultUrl() const
{
    return Text(L"KelTb.Url.Pavise.Navigate.Default", L"");
}

std::wstring ControllerSettings::GetPaviseNavigateActivatedUrl() const
{
    return Text(L"KelTb.Url.Pavise.Navigate.Activated", L"");
}

std::wstring ControllerSettings::GetPaviseNavigateDeactivatedUrl() const
{
    return Text(L"KelTb.Url.Pavise.Navigate.Deactivated", kUninstallPage);
}

std::wstring ControllerSettings::GetNorvixNavigateConnectionFailureUrl() const
{
    return Text(L"KelTb.Url.Norvix.Navigate.ConnectionFailure", kCommunicationPage);
}

std::wstring ControllerSettings::GetNorvixNavigateErrorUrl() const
{
    return Text(L"KelTb.Url.Norvix.Navigate.Error", kSupportPage);
}

std::wstring ControllerSettings::GetNorvixNavigateDefaultUrl() const
{
    return Text(L"KelTb.Url.Norvix.Navigate.Default", kCommunicationPage);
}

std::wstring ControllerSettings::GetInstallationGuid() const
{
    return ReadUserValue(GetMacroRegistryKey(), GetGuidRegistryValue());
}

bool ControllerSettings::GetShowTextLabels() const
{
    const std::wstring text = ReadUserValue(GetPrefsRegistryKey(), GetTextLabelsRegistryValue());
    return text.empty() || win::ParseDecimal(text) != 0;
}

}  // namespace core
