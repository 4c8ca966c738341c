// The status model: what each of the two status buttons shows for each product state.
//
//   web protection     icon  visible enabled     update button       icon       enabled
//   ConnectionFailure  1003  no      yes         ConnectionFailure   1003       yes
//   Error              1003  no      yes         Error               1003       yes
//   Default            1003  no      yes         Default             1003       yes
//   Activated          1002  yes     no          Uptodate            1002       no
//   Deactivated        1004  yes     yes         Update              1004       yes
//                                                Updating            animation  no (no tooltip)
//
// The button is only shown while the product reports its web protection; a button that is not enabled
// delivers no clicks.

#include "Core/Controller.h"
#include "Core/NorvixIds.h"
#include "Core/res/resource.h"

#include <vector>

namespace
{
struct ButtonLook
{
    UINT iconId;
    std::wstring title;
    std::wstring tooltip;
    BOOL visible;
    BOOL enabled;
};

constexpr int kIconSize = 16;

const std::vector<UINT>& UpdateAnimationFrames()
{
    static const std::vector<UINT> frames = {IDI_UPDATE_FRAME_01, IDI_UPDATE_FRAME_02, IDI_UPDATE_FRAME_03,
        IDI_UPDATE_FRAME_04, IDI_UPDATE_FRAME_05, IDI_UPDATE_FRAME_06, IDI_UPDATE_FRAME_07, IDI_UPDATE_FRAME_08,
        IDI_UPDATE_FRAME_09, IDI_UPDATE_FRAME_10, IDI_UPDATE_FRAME_11};
    return frames;
}
} // namespace

void Controller::RefreshStatusButtons()
{
    RefreshPaviseButton();
    RefreshUpdateButton();
}

void Controller::RefreshPaviseButton()
{
    ButtonLook look;
    switch (m_api.GetPaviseStatus())
    {
    case PaviseStatus::ConnectionFailure:
        look = {IDI_STATUS_UNKNOWN, GetPaviseConnectionFailureText(), GetPaviseConnectionFailureTooltip(), FALSE, TRUE};
        break;
    case PaviseStatus::Error:
        look = {IDI_STATUS_UNKNOWN, GetPaviseErrorText(), GetPaviseErrorTooltip(), FALSE, TRUE};
        break;
    case PaviseStatus::Activated:
        look = {IDI_STATUS_GOOD, GetPaviseActivatedText(), GetPaviseActivatedTooltip(), TRUE, FALSE};
        break;
    case PaviseStatus::Deactivated:
        look = {IDI_STATUS_ACTION, GetPaviseDeactivatedText(), GetPaviseDeactivatedTooltip(), TRUE, TRUE};
        break;
    case PaviseStatus::Default:
    default:
        look = {IDI_STATUS_UNKNOWN, GetPaviseDefaultText(), GetPaviseDefaultTooltip(), FALSE, TRUE};
        break;
    }
    UpdateButton(kButtonPaviseStatus, look.iconId, kIconSize, kIconSize, look.title, look.tooltip, look.visible,
        look.enabled, m_showTextLabels);
}

void Controller::RefreshUpdateButton()
{
    ButtonLook look;
    switch (m_api.GetNorvixStatus())
    {
    case NorvixStatus::ConnectionFailure:
        look = {IDI_STATUS_UNKNOWN, GetNorvixConnectionFailureText(), GetNorvixConnectionFailureTooltip(), TRUE, TRUE};
        break;
    case NorvixStatus::Error:
        look = {IDI_STATUS_UNKNOWN, GetNorvixErrorText(), GetNorvixErrorTooltip(), TRUE, TRUE};
        break;
    case NorvixStatus::Uptodate:
        look = {IDI_STATUS_GOOD, GetNorvixUptodateText(), GetNorvixUptodateTooltip(), TRUE, FALSE};
        break;
    case NorvixStatus::Update:
        look = {IDI_STATUS_ACTION, GetNorvixUpdateText(), GetNorvixUpdateTooltip(), TRUE, TRUE};
        break;
    case NorvixStatus::Updating:
        // Every refresh in this state starts the animation again from its first frame.
        UpdateAnimatedButton(kButtonNorvixUpdate, UpdateAnimationFrames(), kIconSize, kIconSize,
            static_cast<UINT>(GetAnimateWaitBetweenImagesMs()), GetNorvixUpdatingText(), GetNorvixUpdatingTooltip(),
            TRUE, FALSE, m_showTextLabels);
        return;
    case NorvixStatus::Default:
    default:
        look = {IDI_STATUS_UNKNOWN, GetNorvixDefaultText(), GetNorvixDefaultTooltip(), TRUE, TRUE};
        break;
    }
    UpdateButton(kButtonNorvixUpdate, look.iconId, kIconSize, kIconSize, look.title, look.tooltip, look.visible,
        look.enabled, m_showTextLabels);
}
