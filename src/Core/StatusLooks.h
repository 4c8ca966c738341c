#pragma once
// StatusLooks: what each product state shows on the two status buttons, and what a click on a button does in
// each state: the tracking address it reports to, the page it opens, whether it starts the product's update.
// Pure functions of a state and the settings; the settings are looked up at every call, so a changed host
// setting shows at the next refresh or click.
//
//   web protection      icon  visible enabled   update button       icon       enabled   click opens
//   ConnectionFailure   1003  no      yes       ConnectionFailure   1003       yes       its page
//   Error               1003  no      yes       Error               1003       yes       its page
//   Default             1003  no      yes       Default             1003       yes       its page
//   Activated           1002  yes     no        Uptodate            1002       no        nothing
//   Deactivated         1004  yes     yes       Update              1004       yes       starts the update
//                                               Updating            animation  no        nothing
//
// The web-protection button opens the page of each of its states (empty by default for Default and
// Activated). Tracking codes: web protection "202" (its Deactivated code otherwise the same key's default);
// update button "203", in ConnectionFailure "204", in Error "205", in Update its Update code.

#include "Core/ControllerSettings.h"
#include "net/ProductStatus.h"

#include <windows.h>

#include <string>
#include <vector>

namespace core
{

struct ButtonLook
{
    UINT iconId = 0;  // 0 while the button animates
    std::vector<UINT> frames;  // the animation's icons in order; empty for a single icon
    UINT frameInterval = 0;  // milliseconds per frame
    std::wstring title;
    std::wstring tooltip;
    BOOL visible = TRUE;
    BOOL enabled = TRUE;

    friend bool operator==(const ButtonLook&, const ButtonLook&) = default;
};

// Icons of the status buttons, 16 by 16.
inline constexpr int kStatusIconSize = 16;

[[nodiscard]] ButtonLook PaviseLook(net::PaviseStatus status, const ControllerSettings& settings);
[[nodiscard]] ButtonLook NorvixLook(net::NorvixStatus status, const ControllerSettings& settings);

enum class TrackedButton
{
    Pavise,
    Norvix,
};

// The tracking address of a click: the button's address with the host's macros expanded and every
// occurrence of the code placeholder replaced by the state's tracking code.
[[nodiscard]] std::wstring TrackingUrl(
    TrackedButton button, net::PaviseStatus pavise, net::NorvixStatus norvix, const ControllerSettings& settings);

// The page a click opens in the current window; "" opens none.
[[nodiscard]] std::wstring PaviseClickPage(net::PaviseStatus status, const ControllerSettings& settings);
[[nodiscard]] std::wstring NorvixClickPage(net::NorvixStatus status, const ControllerSettings& settings);

}  // namespace core
