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
        return {.iconId = IDI_STATUS_UNKNOWN,
            .title = settings.GetPaviseConnectionFailureText(),
            .tooltip = settings.GetPaviseConnectionFailureTooltip(),
            .visible = FALSE};
    case net::PaviseStatus::Error:
        return {.iconId = IDI_STATUS_UNKNOWN,
            .title = settings.GetPaviseErrorText(),
            .tooltip = settings.GetPaviseErrorTooltip(),
            .visible = FALSE};
    case net::PaviseStatus::Activated:
        return {.iconId = IDI_STATUS_GOOD,
            .title = settings.GetPaviseActivatedText(),
            .tooltip = settings.GetPaviseActivatedTooltip(),
            .enabled = FALSE};
    case net::PaviseStatus::Deactivated:
        return {.iconId = IDI_STATUS_ACTION,
            .title = settings.GetPaviseDeactivatedText(),
            .tooltip = settings.GetPaviseDeactivatedTooltip()};
    case net::PaviseStatus::Default:
    default:
        return {.iconId = IDI_STATUS_UNKNOWN,
            .title = settings.GetPaviseDefaultText(),
            .tooltip = settings.GetPaviseDefaultTooltip(),
            .visible = FALSE};
    }
}

ButtonLook NorvixLook(net::NorvixStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case net::NorvixStatus::ConnectionFailure:
        return {.iconId = IDI_STATUS_UNKNOWN,
            .title = settings.GetNorvixConnectionFailureText(),
            .tooltip = settings.GetNorvixConnectionFailureTooltip()};
    case net::NorvixStatus::Error:
        return {.iconId = IDI_STATUS_UNKNOWN,
            .title = settings.GetNorvixErrorText(),
            .tooltip = settings.GetNorvixErrorTooltip()};
    case net::NorvixStatus::Uptodate:
        return {.iconId = IDI_STATUS_GOOD,
            .title = settings.GetNorvixUptodateText(),
            .tooltip = settings.GetNorvixUptodateTooltip(),
            .enabled = FALSE};
    case net::NorvixStatus::Update:
        return {.iconId = IDI_STATUS_ACTION,
            .title = settings.GetNorvixUpdateText(),
            .tooltip = settings.GetNorvixUpdateTooltip()};
    case net::NorvixStatus::Updating:
        return {.iconId = 0,
            .frames = UpdateAnimationFrames(),
            .frameInterval = static_cast<UINT>(settings.GetAnimateWaitBetweenImagesMs()),
            .title = settings.GetNorvixUpdatingText(),
            .tooltip = ControllerSettings::GetNorvixUpdatingTooltip(),
            .enabled = FALSE};
    case net::NorvixStatus::Default:
    default:
        return {.iconId = IDI_STATUS_UNKNOWN,
            .title = settings.GetNorvixDefaultText(),
            .tooltip = settings.GetNorvixDefaultTooltip()};
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
