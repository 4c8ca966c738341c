#pragma once
// Controller: the product's toolbar control, "Kel.Norvix". The host creates one per browser window or tab,
// unlocks it, starts it with StartupToolbar and sends it toolbar events with OnEvent. Started, it shows the
// product's two states on the web-protection button and the update button, keeps them current through its
// polling worker, opens the page of a button's state on a click, starts the product's update from the update
// button, and shows the install bubble once per user.
//
// A thin shell over three parts: the shared status file (SharedStatusFile), the status looks and click
// actions (StatusLooks, pure functions of a state and the settings) and the polling worker (PollingWorker).
// Everything here runs on the UI thread that created the control; the worker reaches it only by posting to
// the dispatcher window (a settings request, a published status).

#include "Core/ControllerSettings.h"
#include "Core/PollingWorker.h"
#include "Core/SharedStatusFile.h"
#include "Core/StatusLooks.h"
#include "net/APIDispatcher.h"
#include "toolbar/XToolbarController.h"
#include "win/ClassFactory.h"

#include <memory>
#include <string>

namespace bubble
{
class InstallBubbleDialog;
class XToolbarBubbleConfigFile;
}  // namespace bubble

namespace core
{

class Controller final : public toolbar::XToolbarController, public ControllerSettings, private PollingWorker::Owner
{
public:
    // The class factory of the module's one class, with its registration.
    struct ControllerFactory
    {
        static HRESULT CreateInstance(REFIID iid, void** out) noexcept;
        static const win::ClassEntry kEntry;
        enum class Registration
        {
            Register,
            Unregister,
        };
        // Writes or removes the control's class and ProgID in the current registration branch.
        [[nodiscard]] static HRESULT UpdateRegistry(Registration registration) noexcept;
    };

    // The name of the dispatcher window's class.
    static constexpr wchar_t kDispatcherWindowName[] = L"KelToolbarForNorvixDispatcherWindow";
    // Overlay control ids of the two status buttons.
    static constexpr UINT kPaviseControlId = 0x03090021;
    static constexpr UINT kNorvixControlId = 0x04990093;
    // Time-outs of the tracking request a click sends, and how long the click waits for it in all.
    static constexpr DWORD kTrackingTimeoutMs = 1500;

    Controller();
    ~Controller() override;

    // --- Scripted interface ------------------------------------------------------------------------------
    HRESULT StartupToolbar(IDispatch* browser, IDispatch* toolbar, long btnIDKelSearch, long btnIDKelLogo,
        long btnIDPaviseStatus, long btnIDNorvixUpdate, long btnIDOptions) noexcept;
    // E_FAIL without an argument (a null name), E_POINTER for an empty name, E_NOTIMPL for any event but
    // "UpdateStatus" (compared without regard to case), which reloads the status file and refreshes the buttons.
    HRESULT OnEvent(const VARIANT* eventId) noexcept;

    // --- Framework overrides -------------------------------------------------------------------------------
    [[nodiscard]] UINT GetTypeNameResourceId() const noexcept override { return 1000; }
    [[nodiscard]] DWORD GetRegisteredMiscStatus() const noexcept override;
    int ShutDown() noexcept override;
    void OnPostStartUp() override;
    // Ignored once the control has begun to shut down: an update started then would never be sent.
    void OnButtonClicked(const std::wstring& buttonName) override;
    [[nodiscard]] toolbar::XToolbarWindow* CreateToolbarWindow() noexcept override;
    void ProcessControllerMessage(LPARAM value) override;

    // Reads the text-labels preference again and refreshes the buttons (the host's preferences changed).
    void ReloadTextLabels();

    // The product's states as this control knows them.
    [[nodiscard]] net::PaviseStatus GetPaviseStatus() const noexcept { return m_api.GetPaviseStatus(); }
    [[nodiscard]] net::NorvixStatus GetNorvixStatus() const noexcept { return m_api.GetNorvixStatus(); }
    [[nodiscard]] bool IsPolling() const noexcept { return m_worker.IsRunning(); }
    [[nodiscard]] bool HasInstallBubble() const noexcept;

protected:
    HRESULT InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept override;

private:
    // What the worker hands to the UI thread through the dispatcher window.
    static constexpr LPARAM kStatusPublishedMessage = 1;
    static constexpr LPARAM kSettingsRequestMessage = 2;

    // PollingWorker::Owner
    bool PostSettingsRequest() noexcept override;
    bool PostStatusPublished() noexcept override;
    // Gives every started control of the calling thread whose worker asked a new settings snapshot: one wake of
    // the thread serves all of them.
    static void RefreshSettingsOfThisThread();

    // Status model.
    void RefreshStatusButtons();
    void RefreshPaviseButton();
    void RefreshUpdateButton();
    void ShowLook(const std::wstring& buttonName, const ButtonLook& look);

    // Shared status file.
    void OpenStatusFile();
    void SaveStatusFile(bool withTime, bool withPavise, bool withNorvix);
    void ReloadStatusFile();
    void CloseStatusFile() noexcept;
    void RestoreStatuses(const std::optional<StatusRecord>& record) noexcept;

    // Polling.
    void StartPolling();
    void StopPolling() noexcept;
    void RequestWorkerUpdate();
    [[nodiscard]] std::wstring PollMutexName() const;

    // Clicks and the update action.
    [[nodiscard]] std::wstring BuildTrackingUrl(TrackedButton button);
    void SendTracking(const std::wstring& url);
    void StartProductUpdate();

    void CloseInstallBubble() noexcept;

    SharedStatusFile m_statusFile;
    std::unique_ptr<bubble::XToolbarBubbleConfigFile> m_bubbleConfigFile;
    net::APIDispatcher m_api;
    PollingWorker m_worker{*this, m_api, m_statusFile};
    std::unique_ptr<bubble::InstallBubbleDialog> m_installBubble;
    unsigned m_bubbleCloses = 0;  // counts CloseInstallBubble, which a bubble being made learns of afterwards
};

}  // namespace core
