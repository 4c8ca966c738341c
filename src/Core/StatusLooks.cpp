#include "Core/StatusLooks.h"

#include "res/resource.h"
#include "win/Strings.h"

namespace core
{

namespace
{
const std::vector<UINT>& UpdateAnimationFrames()
{
    static const std::vector<UINT> frames = {IDI_UPDATE_FRAME_01, IDI_UPDATE_FRAME_02, IDI_UPDATE_FRAME_03,
        IDI_UPDATE_FRAME_04, IDI_UPDATE_FRAME_05, IDI_UPDATE_FRAME_06, IDI_UPDATE_FRAME_07, IDI_UPDATE_FRAME_08,
        IDI_UPDATE_FRAME_09, IDI_UPDATE_FRAME_10, IDI_UPDATE_FRAME_11};
    return frames;
}
}  // namespace

ButtonLook PaviseLook(net::PaviseStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case net::PaviseStatus::ConnectionFailure:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetPaviseConnectionFailureText(),
            settings.GetPaviseConnectionFailureTooltip(), FALSE, TRUE};
    case net::PaviseStatus::Error:
        return {
            IDI_STATUS_UNKNOWN, {}, 0, settings.GetPaviseErrorText(), settings.GetPaviseErrorTooltip(), FALSE, TRUE};
    case net::PaviseStatus::Activated:
        return {IDI_STATUS_GOOD, {}, 0, settings.GetPaviseActivatedText(), settings.GetPaviseActivatedTooltip(), TRUE,
            FALSE};
    case net::PaviseStatus::Deactivated:
        return {IDI_STATUS_ACTION, {}, 0, settings.GetPaviseDeactivatedText(), settings.GetPaviseDeactivatedTooltip(),
            TRUE, TRUE};
    case net::PaviseStatus::Default:
    default:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetPaviseDefaultText(), settings.GetPaviseDefaultTooltip(), FALSE,
            TRUE};
    }
}

ButtonLook NorvixLook(net::NorvixStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case net::NorvixStatus::ConnectionFailure:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetNorvixConnectionFailureText(),
            settings.GetNorvixConnectionFailureTooltip(), TRUE, TRUE};
    case net::NorvixStatus::Error:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetNorvixErrorText(), settings.GetNorvixErrorTooltip(), TRUE, TRUE};
    case net::NorvixStatus::Uptodate:
        return {
            IDI_STATUS_GOOD, {}, 0, settings.GetNorvixUptodateText(), settings.GetNorvixUptodateTooltip(), TRUE, FALSE};
    case net::NorvixStatus::Update:
        return {
            IDI_STATUS_ACTION, {}, 0, settings.GetNorvixUpdateText(), settings.GetNorvixUpdateTooltip(), TRUE, TRUE};
    case net::NorvixStatus::Updating:
        return {0, UpdateAnimationFrames(), static_cast<UINT>(settings.GetAnimateWaitBetweenImagesMs()),
            settings.GetNorvixUpdatingText(), ControllerSettings::GetNorvixUpdatingTooltip(), TRUE, FALSE};
    case net::NorvixStatus::Default:
    default:
        return {
            IDI_STATUS_UNKNOWN, {}, 0, settings.GetNorvixDefaultText(), settings.GetNorvixDefaultTooltip(), TRUE, TRUE};
    }
}

std::wstring TrackingUrl(
    TrackedButton button, net::PaviseStatus pavise, net::NorvixStatus norvix, const ControllerSettings& settings)
{
    const std::wstring url =
        button == TrackedButton::Pavise ? settings.GetPaviseTrackingUrl() : settings.GetNorvixUpdateTrackingUrl();
    const std::wstring macro = settings.GetButtonTrackingMacro();
    std::wstring code;
    if (button == TrackedButton::Pavise)
    {
        code = pavise == net::PaviseStatus::Deactivated ? settings.GetPaviseButtonTrackingDeactivated()
                                                        : settings.GetPaviseButtonTrackingDefault();
    }
    else
    {
        switch (norvix)
        {
        case net::NorvixStatus::ConnectionFailure: code = settings.GetNorvixButtonTrackingConnectionFailure(); break;
        case net::NorvixStatus::Error: code = settings.GetNorvixButtonTrackingError(); break;
        case net::NorvixStatus::Update: code = settings.GetNorvixButtonTrackingUpdate(); break;
        default: code = settings.GetNorvixButtonTrackingDefault(); break;
        }
    }
    return win::ReplaceAll(url, macro, code);
}

std::wstring PaviseClickPage(net::PaviseStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case net::PaviseStatus::ConnectionFailure: return settings.GetPaviseNavigateConnectionFailureUrl();
    case net::PaviseStatus::Error: return settings.GetPaviseNavigateErrorUrl();
    case net::PaviseStatus::Activated: return settings.GetPaviseNavigateActivatedUrl();
    case net::PaviseStatus::Deactivated: return settings.GetPaviseNavigateDeactivatedUrl();
    case net::PaviseStatus::Default:
    default: return settings.GetPaviseNavigateDefaultUrl();
    }
}

std::wstring NorvixClickPage(net::NorvixStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case net::NorvixStatus::ConnectionFailure: return settings.GetNorvixNavigateConnectionFailureUrl();
    case net::NorvixStatus::Error: return settings.GetNorvixNavigateErrorUrl();
    case net::NorvixStatus::Default: return settings.GetNorvixNavigateDefaultUrl();
    default: return {};  // the other states open no page
    }
}

}  // namespace core
