#include "Core/Controller.h"

#include "Core/NorvixIds.h"
#include "Core/NorvixToolbarWindow.h"
#include "bubble/InstallBubbleDialog.h"
#include "bubble/ShowInstallBubble.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "net/HttpExchange.h"
#include "platform/BrowserUtilities.h"
#include "toolbar/XToolbarButtonControl.h"
#include "win/ComBoundary.h"
#include "win/ComRegistration.h"
#include "win/FailureReport.h"
#include "win/Module.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

namespace core
{

namespace
{
// The five buttons, in the order StartupToolbar gives their command ids.
constexpr const wchar_t* kButtonOrder[] = {
    kButtonKelSearch, kButtonKelLogo, kButtonPaviseStatus, kButtonNorvixUpdate, kButtonKelOptions};

// The controls whose workers run, with the UI thread of each.
std::mutex s_pollingLock;
std::vector<std::pair<DWORD, Controller*>> s_polling;

void AddPolling(Controller* control)
{
    const std::lock_guard lock(s_pollingLock);
    s_polling.emplace_back(::GetCurrentThreadId(), control);
}

void RemovePolling(Controller* control) noexcept
{
    const std::lock_guard lock(s_pollingLock);
    std::erase_if(s_polling, [control](const auto& entry) { return entry.second == control; });
}

bool IsStillPolling(Controller* control)
{
    const std::lock_guard lock(s_pollingLock);
    return std::find(s_polling.begin(), s_polling.end(), std::pair(::GetCurrentThreadId(), control)) != s_polling.end();
}

// The tracking requests of every control of the process: at most one in flight, later clicks' dropped meanwhile,
// so that a tracking host that never answers costs one thread however often the buttons are clicked. They go to a
// remote host by design and follow its redirections wherever they lead.
net::HttpExchange& TrackingExchange()
{
    static net::HttpExchange exchange(net::HttpExchange::WhenBusy::Drop, net::XHttpAccess::Reach::Anywhere);
    return exchange;
}
}  // namespace

// --- Class factory and registration ------------------------------------------------------------------------

const win::ClassEntry Controller::ControllerFactory::kEntry = {
    &CLSID_Norvix, &Controller::ControllerFactory::CreateInstance};

HRESULT Controller::ControllerFactory::CreateInstance(REFIID iid, void** out) noexcept
{
    return win::CreateComObject<Controller>(iid, out);
}

HRESULT Controller::ControllerFactory::UpdateRegistry(Registration registration) noexcept
{
    return win::ComBoundary([registration] {
        if (registration == Registration::Unregister)
        {
            return win::UnregisterControl(CLSID_Norvix, kNorvixProgId);
        }
        const HMODULE module = win::ThisModule();
        return win::RegisterControl(
            {CLSID_Norvix, kNorvixProgId, win::LoadStringResource(module, 1000), win::ModuleFileName(module), 1000,
                kNorvixMiscStatus, LIBID_NorvixLib, kNorvixTypeLibMajor, kNorvixTypeLibMinor});
    });
}

// --- Life ----------------------------------------------------------------------------------------------------

// The control raises no events of its own (they reach the host through its toolbar event); its event
// interface is still the type library's, so a container that looks for it finds the connection point.
Controller::Controller()
    : toolbar::XToolbarController(CLSID_Norvix, DIID__DNorvix, DIID__DNorvixEvents),
      ControllerSettings(static_cast<toolbar::XToolbarController&>(*this))
{
}

Controller::~Controller()
{
    ShutDown();
}

DWORD Controller::GetRegisteredMiscStatus() const noexcept
{
    return kNorvixMiscStatus;
}

toolbar::XToolbarWindow* Controller::CreateToolbarWindow() noexcept
{
    return new (std::nothrow) NorvixToolbarWindow();
}

HRESULT Controller::StartupToolbar(IDispatch* browser, IDispatch* toolbar, long btnIDKelSearch, long btnIDKelLogo,
    long btnIDPaviseStatus, long btnIDNorvixUpdate, long btnIDOptions) noexcept
{
    return win::ComBoundary([&] {
        // A second start-up replaces the first. The bubble goes before anything else: its tracking thread asks
        // about the toolbar window and the buttons that the start-up replaces. A start-up that is refused
        // (E_POINTER: no browser, no host) changes nothing.
        win::ComPtr<IWebBrowser2> webBrowser;
        if (!browser || !toolbar || FAILED(browser->QueryInterface(IID_IWebBrowser2, webBrowser.PutVoid())))
        {
            WIN_REPORT_FAILURE("StartupToolbar", E_POINTER, L"no browser (IWebBrowser2) or no toolbar: refused");
            return E_POINTER;
        }
        CloseInstallBubble();
        WIN_RETURN_IF_FAILED(StartUp(browser, toolbar, kDispatcherWindowName));
        StopPolling();
        CloseStatusFile();
        while (!ButtonControls().empty())
        {
            const std::wstring name = ButtonControls().front()->Name();
            RemoveButtonControl(name);
        }
        if (!m_api.Initialize(static_cast<toolbar::XToolbarController*>(this)))
        {
            WIN_REPORT_FAILURE("m_api.Initialize(this)", E_FAIL, {});
            return E_FAIL;
        }
        OpenStatusFile();

        ClearButtonMaps();
        const long ids[] = {btnIDKelSearch, btnIDKelLogo, btnIDPaviseStatus, btnIDNorvixUpdate, btnIDOptions};
        for (size_t i = 0; i < std::size(ids); ++i)
        {
            MapButton(kButtonOrder[i], static_cast<UINT>(ids[i]));
        }

        m_showTextLabels = GetShowTextLabels() ? TRUE : FALSE;
        CreateButtonControl(GetButtonName(btnIDPaviseStatus), kPaviseControlId);
        CreateButtonControl(GetButtonName(btnIDNorvixUpdate), kNorvixControlId);
        m_layoutAnchorButton = GetButtonName(btnIDNorvixUpdate);

        // A new window shows the last known state at once, before any poll.
        RestoreStatuses(m_statusFile.Record());
        RefreshStatusButtons();
        StartPolling();
        return S_OK;
    });
}

HRESULT Controller::OnEvent(const VARIANT* eventId) noexcept
{
    // A null BSTR is an absent argument; a BSTR without characters an empty name.
    if (!eventId || eventId->vt != VT_BSTR || !eventId->bstrVal)
    {
        return E_FAIL;
    }
    if (::SysStringLen(eventId->bstrVal) == 0)
    {
        return E_POINTER;
    }
    return win::ComBoundary([&] {
        if (!win::EqualsNoCase(eventId->bstrVal, host::kUpdateStatusEvent))
        {
            return E_NOTIMPL;
        }
        ReloadStatusFile();
        RefreshStatusButtons();
        return S_OK;
    });
}

HRESULT Controller::InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept
{
    HRESULT hr = S_OK;
    if (id == kDispIdStartupToolbar && arguments.size() == 7)
    {
        hr = StartupToolbar(arguments[0].pdispVal, arguments[1].pdispVal, arguments[2].lVal, arguments[3].lVal,
            arguments[4].lVal, arguments[5].lVal, arguments[6].lVal);
    }
    else if (id == kDispIdOnEvent && arguments.size() == 1)
    {
        hr = OnEvent(&arguments[0]);
    }
    else
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result)
    {
        result->vt = VT_I4;
        result->lVal = hr;
    }
    return S_OK;
}

int Controller::ShutDown() noexcept
{
    // From here clicks are ignored: the worker that would send an update request is about to end.
    SetShuttingDown(TRUE);
    CloseInstallBubble();
    StopPolling();
    m_api.Reset();
    CloseStatusFile();
    return toolbar::XToolbarController::ShutDown();
}

void Controller::CloseInstallBubble() noexcept
{
    if (m_installBubble && m_installBubble->IsWindow())
    {
        m_installBubble->CloseBubble();
    }
    m_installBubble.reset();
    m_bubbleConfigFile.reset();
    ++m_bubbleCloses;
}

bool Controller::HasInstallBubble() const noexcept
{
    return m_installBubble && m_installBubble->IsWindow();
}

void Controller::OnPostStartUp()
{
    CloseInstallBubble();
    const std::wstring path =
        platform::GetWriteableFolder(L"KelToolbar", /*lowIntegrity=*/TRUE) + bubble::kInstallBubbleFileName;
    // The host may start the control again or end it from its answer to one of the bubble's text reads: that
    // start-up or shut-down closes the bubble being made as it closes an open one, once the bubble is made.
    const unsigned closes = m_bubbleCloses;
    std::unique_ptr<bubble::InstallBubbleDialog> made;
    (void)bubble::ShowInstallBubbleOnce(*this, GetBrowserWindow(), path, m_bubbleConfigFile, made);
    if (m_bubbleCloses == closes)
    {
        m_installBubble = std::move(made);
    }
}

void Controller::ProcessControllerMessage(LPARAM value)
{
    if (IsShuttingDown())
    {
        return;
    }
    if (value == kStatusPublishedMessage)
    {
        RefreshStatusButtons();
        FireToolbarEvent(host::kUpdateStatusEvent, 1);
    }
    else if (value == kSettingsRequestMessage)
    {
        RefreshSettingsOfThisThread();
    }
}

void Controller::RefreshSettingsOfThisThread()
{
    std::vector<Controller*> controls;
    {
        const std::lock_guard lock(s_pollingLock);
        for (const auto& [thread, control] : s_polling)
        {
            if (thread == ::GetCurrentThreadId())
            {
                controls.push_back(control);
            }
        }
    }
    for (Controller* control : controls)
    {
        // The host's calls may end any control of this thread, this one included (a tab closed from inside a
        // settings read): one that went meanwhile is skipped, and each is kept alive while it takes its snapshot.
        if (!IsStillPolling(control))
        {
            continue;
        }
        control->InternalAddRef();
        const win::ScopeExit release([control]() noexcept { control->InternalRelease(); });
        control->m_worker.RefreshSettings(PollingWorker::Refresh::WhenAsked);
    }
}

bool Controller::PostSettingsRequest() noexcept
{
    return PostControllerMessage(kSettingsRequestMessage) != FALSE;
}

bool Controller::PostStatusPublished() noexcept
{
    return PostControllerMessage(kStatusPublishedMessage) != FALSE;
}

void Controller::ReloadTextLabels()
{
    m_showTextLabels = GetShowTextLabels() ? TRUE : FALSE;
    RefreshStatusButtons();
}

// --- Status model --------------------------------------------------------------------------------------------

void Controller::RefreshStatusButtons()
{
    RefreshPaviseButton();
    RefreshUpdateButton();
}

void Controller::RefreshPaviseButton()
{
    ShowLook(kButtonPaviseStatus, PaviseLook(m_api.GetPaviseStatus(), *this));
}

void Controller::RefreshUpdateButton()
{
    ShowLook(kButtonNorvixUpdate, NorvixLook(m_api.GetNorvixStatus(), *this));
}

void Controller::ShowLook(const std::wstring& buttonName, const ButtonLook& look)
{
    if (look.frames.empty())
    {
        UpdateButton(buttonName, look.iconId, kStatusIconSize, kStatusIconSize, look.title, look.tooltip, look.visible,
            look.enabled, m_showTextLabels);
    }
    else
    {
        // Every refresh while animating starts the sequence again from its first frame.
        UpdateAnimatedButton(buttonName, look.frames, kStatusIconSize, kStatusIconSize, look.frameInterval, look.title,
            look.tooltip, look.visible, look.enabled, m_showTextLabels);
    }
}

// --- Shared status file --------------------------------------------------------------------------------------

void Controller::OpenStatusFile()
{
    m_statusFile.Open(SharedStatusFile::DefaultPath(), SharedStatusFile::Caller::UiThread);
}

void Controller::SaveStatusFile(bool withTime, bool withPavise, bool withNorvix)
{
    SharedStatusFile::Change change;
    change.stampTime = withTime;
    if (withPavise)
    {
        change.paviseStatus = static_cast<std::int32_t>(m_api.GetPaviseStatus());
    }
    if (withNorvix)
    {
        change.norvixStatus = static_cast<std::int32_t>(m_api.GetNorvixStatus());
    }
    (void)m_statusFile.Save(change, SharedStatusFile::Caller::UiThread);
}

void Controller::ReloadStatusFile()
{
    RestoreStatuses(m_statusFile.Reload(SharedStatusFile::Caller::UiThread));
}

void Controller::RestoreStatuses(const std::optional<StatusRecord>& record) noexcept
{
    if (record)
    {
        // Codes outside the valid ranges are refused and the client keeps its pair.
        (void)m_api.SetStatuses(
            static_cast<net::PaviseStatus>(record->paviseStatus), static_cast<net::NorvixStatus>(record->norvixStatus));
    }
}

void Controller::CloseStatusFile() noexcept
{
    m_statusFile.Close();
}

// --- Polling -------------------------------------------------------------------------------------------------

std::wstring Controller::PollMutexName() const
{
    // No kernel-namespace prefix: the mutex is shared by the processes of the logged-on user's session.
    return win::Format(L"%ls_%ls", L"KEL_PULLING_INSTANCE", win::ToUpper(GetInstallationGuid()).c_str());
}

void Controller::StartPolling()
{
    // Each control answers with its own host's values, on this thread.
    if (m_worker.Start(PollMutexName(), [this](platform::SettingsSnapshot& settings) {
            platform::HostStrings& host = *this;
            settings.Capture(host, ControllerSettings::PassSettings());
            settings.Capture(host, net::APIDispatcher::QuerySettings());
        }))
    {
        AddPolling(this);
    }
}

void Controller::StopPolling() noexcept
{
    RemovePolling(this);
    m_worker.Stop();
    RemovePolling(this);  // started again from the messages the wait pumped, and stopped with it
}

void Controller::RequestWorkerUpdate()
{
    // The request's texts are looked up now, on this thread, so the worker sends it without asking again.
    platform::SettingsSnapshot settings;
    platform::HostStrings& host = *this;
    settings.Capture(host, net::APIDispatcher::UpdateSettings());
    m_worker.RequestUpdate(std::move(settings));
}

// --- Clicks and the update action ----------------------------------------------------------------------------

void Controller::OnButtonClicked(const std::wstring& buttonName)
{
    toolbar::XToolbarController::OnButtonClicked(buttonName);
    if (IsShuttingDown() || m_worker.IsStopping())
    {
        return;
    }
    // A setting changed in the host shows in the worker's next pass after a click, not a second later.
    m_worker.RefreshSettings();
    if (buttonName == kButtonPaviseStatus)
    {
        SendTracking(BuildTrackingUrl(TrackedButton::Pavise));
        const std::wstring page = PaviseClickPage(m_api.GetPaviseStatus(), *this);
        if (!page.empty())
        {
            Navigate(page, /*newWindow=*/FALSE);
        }
    }
    else if (buttonName == kButtonNorvixUpdate)
    {
        SendTracking(BuildTrackingUrl(TrackedButton::Norvix));
        const std::wstring page = NorvixClickPage(m_api.GetNorvixStatus(), *this);
        if (!page.empty() && !Navigate(page, /*newWindow=*/FALSE))
        {
            WIN_REPORT_FAILURE("Navigate(page, FALSE)", S_OK, L"the browser did not open " + page + L"; no update");
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

std::wstring Controller::BuildTrackingUrl(TrackedButton button)
{
    return TrackingUrl(button, m_api.GetPaviseStatus(), m_api.GetNorvixStatus(), *this);
}

void Controller::SendTracking(const std::wstring& url)
{
    if (url.empty())
    {
        return;
    }
    // The click waits on the UI thread until the answer's headers arrive, at most its short time-out: the
    // request runs on a thread of its own, so even a connect that the platform does not time out (a host that
    // drops it) cannot freeze the browser for the system's minutes, and while one is still under way the
    // tracking of later clicks is dropped.
    net::HTTPOptionItemArray options;
    const DWORD timeout = kTrackingTimeoutMs;
    for (const DWORD option :
        {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    {
        options.Add(std::make_unique<net::HTTPOptionItem>(option, &timeout, static_cast<DWORD>(sizeof(timeout))));
    }
    std::wstring ignored;
    (void)TrackingExchange().Get(kTrackingTimeoutMs, nullptr, url, net::APIDispatcher::kUserAgent,
        /*dontCache=*/FALSE, &options, /*readResponse=*/FALSE, ignored);
}

void Controller::StartProductUpdate()
{
    m_api.SetUpdating();
    RequestWorkerUpdate();
    SaveStatusFile(/*withTime=*/true, /*withPavise=*/false, /*withNorvix=*/true);
    FireToolbarEvent(host::kUpdateStatusEvent, 1);
}

}  // namespace core
