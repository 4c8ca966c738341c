// What a click on a status button does: report the click to the tracking address, open the page of the
// button's state, and on the update button in the Update state start the product's update.

#include "Core/Controller.h"
#include "Core/NorvixIds.h"
#include "net/XHttpAccess.h"
#include "win/Strings.h"

void Controller::OnButtonClicked(const std::wstring& buttonName) noexcept
{
    XToolbarController::OnButtonClicked(buttonName);
    try
    {
        if (buttonName == kButtonPaviseStatus)
        {
            SendTracking(BuildTrackingUrl(TrackedButton::Pavise));
            std::wstring url;
            switch (m_api.GetPaviseStatus())
            {
            case PaviseStatus::ConnectionFailure: url = GetPaviseNavigateConnectionFailureUrl(); break;
            case PaviseStatus::Error: url = GetPaviseNavigateErrorUrl(); break;
            case PaviseStatus::Activated: url = GetPaviseNavigateActivatedUrl(); break;
            case PaviseStatus::Deactivated: url = GetPaviseNavigateDeactivatedUrl(); break;
            case PaviseStatus::Default:
            default: url = GetPaviseNavigateDefaultUrl(); break;
            }
            if (!url.empty())
            {
                Navigate(url, FALSE);
            }
        }
        else if (buttonName == kButtonNorvixUpdate)
        {
            SendTracking(BuildTrackingUrl(TrackedButton::Norvix));
            std::wstring url;
            switch (m_api.GetNorvixStatus())
            {
            case NorvixStatus::ConnectionFailure: url = GetNorvixNavigateConnectionFailureUrl(); break;
            case NorvixStatus::Error: url = GetNorvixNavigateErrorUrl(); break;
            case NorvixStatus::Default: url = GetNorvixNavigateDefaultUrl(); break;
            default: break;  // the other states open no page
            }
            if (!url.empty() && !Navigate(url, FALSE))
            {
                return;
            }
            if (!m_api.IsUpdateNeeded())
            {
                return;
            }
            StartProductUpdate();
            RefreshUpdateButton();
        }
    }
    catch (...)
    {
    }
}

std::wstring Controller::BuildTrackingUrl(TrackedButton button)
{
    const std::wstring url = button == TrackedButton::Pavise ? GetPaviseTrackingUrl() : GetNorvixUpdateTrackingUrl();
    const std::wstring macro = GetButtonTrackingMacro();
    std::wstring code;
    if (button == TrackedButton::Pavise)
    {
        code = m_api.GetPaviseStatus() == PaviseStatus::Deactivated ? GetPaviseButtonTrackingDeactivated()
                                                                     : GetPaviseButtonTrackingDefault();
    }
    else
    {
        switch (m_api.GetNorvixStatus())
        {
        case NorvixStatus::ConnectionFailure: code = GetNorvixButtonTrackingConnectionFailure(); break;
        case NorvixStatus::Error: code = GetNorvixButtonTrackingError(); break;
        case NorvixStatus::Update: code = GetNorvixButtonTrackingUpdate(); break;
        default: code = GetNorvixButtonTrackingDefault(); break;
        }
    }
    return win::ReplaceAll(url, macro, code);
}

void Controller::SendTracking(const std::wstring& url)
{
    if (url.empty())
    {
        return;
    }
    // The click waits on the UI thread until the answer's headers arrive, at most its short time-out: the
    // request runs on a thread of its own, so even a connect that the platform does not time out (a host that
    // drops it) cannot freeze the browser for the system's minutes.
    HTTPOptionItemArray options;
    const DWORD timeout = kTrackingTimeoutMs;
    for (const DWORD option :
        {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    {
        options.Add(std::make_unique<HTTPOptionItem>(option, &timeout, static_cast<DWORD>(sizeof(timeout))));
    }
    std::wstring ignored;
    (void)XHttpAccess::GetWithin(kTrackingTimeoutMs, url, APIDispatcher::kUserAgent, FALSE, &options, FALSE, ignored);
}

void Controller::StartProductUpdate()
{
    m_api.SetUpdating();
    RequestWorkerUpdate();
    SaveStatusFile(true, false, true);
    FireToolbarEvent(host::kUpdateStatusEvent, 1);
}
