#include "Core/StatusLooks.h"

#include "res/resource.h"
#include "win/Strings.h"

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

ButtonLook PaviseLook(PaviseStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case PaviseStatus::ConnectionFailure:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetPaviseConnectionFailureText(),
            settings.GetPaviseConnectionFailureTooltip(), FALSE, TRUE};
    case PaviseStatus::Error:
        return {
            IDI_STATUS_UNKNOWN, {}, 0, settings.GetPaviseErrorText(), settings.GetPaviseErrorTooltip(), FALSE, TRUE};
    case PaviseStatus::Activated:
        return {IDI_STATUS_GOOD, {}, 0, settings.GetPaviseActivatedText(), settings.GetPaviseActivatedTooltip(), TRUE,
            FALSE};
    case PaviseStatus::Deactivated:
        return {IDI_STATUS_ACTION, {}, 0, settings.GetPaviseDeactivatedText(), settings.GetPaviseDeactivatedTooltip(),
            TRUE, TRUE};
    case PaviseStatus::Default:
    default:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetPaviseDefaultText(), settings.GetPaviseDefaultTooltip(), FALSE,
            TRUE};
    }
}

ButtonLook NorvixLook(NorvixStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case NorvixStatus::ConnectionFailure:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetNorvixConnectionFailureText(),
            settings.GetNorvixConnectionFailureTooltip(), TRUE, TRUE};
    case NorvixStatus::Error:
        return {IDI_STATUS_UNKNOWN, {}, 0, settings.GetNorvixErrorText(), settings.GetNorvixErrorTooltip(), TRUE, TRUE};
    case NorvixStatus::Uptodate:
        return {
            IDI_STATUS_GOOD, {}, 0, settings.GetNorvixUptodateText(), settings.GetNorvixUptodateTooltip(), TRUE, FALSE};
    case NorvixStatus::Update:
        return {
            IDI_STATUS_ACTION, {}, 0, settings.GetNorvixUpdateText(), settings.GetNorvixUpdateTooltip(), TRUE, TRUE};
    case NorvixStatus::Updating:
        return {0, UpdateAnimationFrames(), static_cast<UINT>(settings.GetAnimateWaitBetweenImagesMs()),
            settings.GetNorvixUpdatingText(), ControllerSettings::GetNorvixUpdatingTooltip(), TRUE, FALSE};
    case NorvixStatus::Default:
    default:
        return {
            IDI_STATUS_UNKNOWN, {}, 0, settings.GetNorvixDefaultText(), settings.GetNorvixDefaultTooltip(), TRUE, TRUE};
    }
}

std::wstring TrackingUrl(
    TrackedButton button, PaviseStatus pavise, NorvixStatus norvix, const ControllerSettings& settings)
{
    const std::wstring url =
        button == TrackedButton::Pavise ? settings.GetPaviseTrackingUrl() : settings.GetNorvixUpdateTrackingUrl();
    const std::wstring macro = settings.GetButtonTrackingMacro();
    std::wstring code;
    if (button == TrackedButton::Pavise)
    {
        code = pavise == PaviseStatus::Deactivated ? settings.GetPaviseButtonTrackingDeactivated()
                                                   : settings.GetPaviseButtonTrackingDefault();
    }
    else
    {
        switch (norvix)
        {
        case NorvixStatus::ConnectionFailure: code = settings.GetNorvixButtonTrackingConnectionFailure(); break;
        case NorvixStatus::Error: code = settings.GetNorvixButtonTrackingError(); break;
        case NorvixStatus::Update: code = settings.GetNorvixButtonTrackingUpdate(); break;
        default: code = settings.GetNorvixButtonTrackingDefault(); break;
        }
    }
    return win::ReplaceAll(url, macro, code);
}

std::wstring PaviseClickPage(PaviseStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case PaviseStatus::ConnectionFailure: return settings.GetPaviseNavigateConnectionFailureUrl();
    case PaviseStatus::Error: return settings.GetPaviseNavigateErrorUrl();
    case PaviseStatus::Activated: return settings.GetPaviseNavigateActivatedUrl();
    case PaviseStatus::Deactivated: return settings.GetPaviseNavigateDeactivatedUrl();
    case PaviseStatus::Default:
    default: return settings.GetPaviseNavigateDefaultUrl();
    }
}

std::wstring NorvixClickPage(NorvixStatus status, const ControllerSettings& settings)
{
    switch (status)
    {
    case NorvixStatus::ConnectionFailure: return settings.GetNorvixNavigateConnectionFailureUrl();
    case NorvixStatus::Error: return settings.GetNorvixNavigateErrorUrl();
    case NorvixStatus::Default: return settings.GetNorvixNavigateDefaultUrl();
    default: return {};  // the other states open no page
    }
}
