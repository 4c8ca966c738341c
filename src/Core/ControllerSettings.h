#pragma once
// ControllerSettings: every setting of the product control, one typed getter per key. Each use asks the host
// again (no cache), so a changed host setting takes effect at the next use. Without a host every text is ""
// and every number 0; the built-in defaults are what the host answers for keys it does not know.
//
// Numbers are read as wcstol reads decimal text: leading blanks, a sign, digits up to the first non-digit;
// no digits give 0 and values beyond 32 bits are clamped. Tracking URLs come back with the host's macros
// expanded. Two values come from the toolbar's user branch of the registry through a reader that tests can
// replace.
//
// Call on the thread that may call the host (the UI thread of the control).

#include "platform/HostStrings.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace core
{

class ControllerSettings
{
public:
    // Reads a text value below the toolbar's user key ("Software\KelToolbar\<subkey>"); FALSE when unreadable.
    using UserValueReader = std::function<BOOL(const wchar_t* subkey, const wchar_t* valueName, std::wstring& value)>;

    // NOTE: keeps a reference to `host`, which must outlive this object. An empty reader reads the registry.
    explicit ControllerSettings(platform::HostStrings& host, UserValueReader reader = {});
    virtual ~ControllerSettings() = default;

    // The settings of one pass of the polling worker, which it looks up before each pass (SettingsSnapshot).
    static constexpr platform::Setting kLockWaitTime{L"KelTb.Str.Pulling.Instance.Lock.WaitTime", L"45"};
    static constexpr platform::Setting kDefaultInterval{L"KelTb.Str.Norvix.Status.Default.Interval", L"30"};
    static constexpr platform::Setting kRetryInterval{L"KelTb.Str.Norvix.Status.Retry.Interval", L"60"};
    static constexpr platform::Setting kUpdateInterval{L"KelTb.Str.Norvix.Status.Update.Interval", L"30"};
    [[nodiscard]] static std::span<const platform::Setting> PassSettings() noexcept;

    // Polling and animation (milliseconds or seconds as named).
    [[nodiscard]] std::int32_t GetPullingInstanceLockWaitTimeMs() const;
    [[nodiscard]] std::int32_t GetStatusDefaultIntervalSecs() const;
    [[nodiscard]] std::int32_t GetStatusRetryIntervalSecs() const;
    [[nodiscard]] std::int32_t GetStatusUpdateIntervalSecs() const;
    [[nodiscard]] std::int32_t GetAnimateWaitBetweenImagesMs() const;

    // Where the registry values live.
    [[nodiscard]] std::wstring GetMacroRegistryKey() const;
    [[nodiscard]] std::wstring GetGuidRegistryValue() const;
    [[nodiscard]] std::wstring GetPrefsRegistryKey() const;
    [[nodiscard]] std::wstring GetTextLabelsRegistryValue() const;

    // Web-protection button: captions and tooltips per state.
    [[nodiscard]] std::wstring GetPaviseConnectionFailureText() const;
    [[nodiscard]] std::wstring GetPaviseErrorText() const;
    [[nodiscard]] std::wstring GetPaviseDefaultText() const;
    [[nodiscard]] std::wstring GetPaviseActivatedText() const;
    [[nodiscard]] std::wstring GetPaviseDeactivatedText() const;
    [[nodiscard]] std::wstring GetPaviseConnectionFailureTooltip() const;
    [[nodiscard]] std::wstring GetPaviseErrorTooltip() const;
    [[nodiscard]] std::wstring GetPaviseDefaultTooltip() const;
    [[nodiscard]] std::wstring GetPaviseActivatedTooltip() const;
    [[nodiscard]] std::wstring GetPaviseDeactivatedTooltip() const;

    // Update button: captions and tooltips per state. The Updating state has no tooltip.
    [[nodiscard]] std::wstring GetNorvixConnectionFailureText() const;
    [[nodiscard]] std::wstring GetNorvixErrorText() const;
    [[nodiscard]] std::wstring GetNorvixDefaultText() const;
    [[nodiscard]] std::wstring GetNorvixUptodateText() const;
    [[nodiscard]] std::wstring GetNorvixUpdateText() const;
    [[nodiscard]] std::wstring GetNorvixUpdatingText() const;
    [[nodiscard]] std::wstring GetNorvixConnectionFailureTooltip() const;
    [[nodiscard]] std::wstring GetNorvixErrorTooltip() const;
    [[nodiscard]] std::wstring GetNorvixDefaultTooltip() const;
    [[nodiscard]] std::wstring GetNorvixUptodateTooltip() const;
    [[nodiscard]] std::wstring GetNorvixUpdateTooltip() const;
    [[nodiscard]] static std::wstring GetNorvixUpdatingTooltip() { return {}; }

    // Tracking: the placeholder for the button code, the codes, and the URLs (macros expanded).
    [[nodiscard]] std::wstring GetButtonTrackingMacro() const;
    [[nodiscard]] std::wstring GetPaviseButtonTrackingDefault() const;
    [[nodiscard]] std::wstring GetPaviseButtonTrackingDeactivated() const;
    [[nodiscard]] std::wstring GetNorvixButtonTrackingDefault() const;
    [[nodiscard]] std::wstring GetNorvixButtonTrackingUpdate() const;
    [[nodiscard]] std::wstring GetNorvixButtonTrackingConnectionFailure() const;
    [[nodiscard]] std::wstring GetNorvixButtonTrackingError() const;
    [[nodiscard]] std::wstring GetPaviseTrackingUrl() const;
    [[nodiscard]] std::wstring GetNorvixUpdateTrackingUrl() const;

    // Pages opened on a click, per state ("" opens none).
    [[nodiscard]] std::wstring GetPaviseNavigateConnectionFailureUrl() const;
    [[nodiscard]] std::wstring GetPaviseNavigateErrorUrl() const;
    [[nodiscard]] std::wstring GetPaviseNavigateDefaultUrl() const;
    [[nodiscard]] std::wstring GetPaviseNavigateActivatedUrl() const;
    [[nodiscard]] std::wstring GetPaviseNavigateDeactivatedUrl() const;
    [[nodiscard]] std::wstring GetNorvixNavigateConnectionFailureUrl() const;
    [[nodiscard]] std::wstring GetNorvixNavigateErrorUrl() const;
    [[nodiscard]] std::wstring GetNorvixNavigateDefaultUrl() const;

    // The installation GUID as stored ("" when unreadable); names the polling mutex.
    [[nodiscard]] std::wstring GetInstallationGuid() const;
    // Whether buttons show captions and tooltips: yes unless the stored text is not empty and reads as 0
    // ("0", "00", "x"); a missing value, "1" or "2" mean yes.
    [[nodiscard]] bool GetShowTextLabels() const;

protected:
    [[nodiscard]] std::wstring Text(const wchar_t* key, const wchar_t* defaultValue) const;
    [[nodiscard]] std::int32_t Number(const wchar_t* key, const wchar_t* defaultValue) const;
    [[nodiscard]] std::int32_t Number(const platform::Setting& setting) const;
    [[nodiscard]] std::wstring ExpandedUrl(const wchar_t* key, const wchar_t* defaultValue) const;
    [[nodiscard]] std::wstring ReadUserValue(const std::wstring& subkey, const std::wstring& valueName) const;

private:
    platform::HostStrings& m_host;
    UserValueReader m_reader;
};

}  // namespace core
