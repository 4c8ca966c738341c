#pragma once
// Controller: the product's toolbar control, "Kel.Norvix". The host creates one per browser window or tab,
// unlocks it, starts it with StartupToolbar and sends it toolbar events with OnEvent. Started, it shows the
// product's two states on the web-protection button and the update button, keeps them current through a
// polling worker that queries the product's local service (one browser instance at a time, under a named
// mutex shared by all processes of the user) and publishes changes through the shared status file and the
// host's "UpdateStatus" event, opens the page of a button's state on a click, starts the product's update
// from the update button, and shows the install bubble once per user.
//
// Threads: everything runs on the UI thread that created the control, except the polling worker, which
// queries the service, saves the status file and hands the button refresh and the event to the UI thread
// through the dispatcher window. The status file object is used by both threads, always under
// m_statusFileLock. The host is reached from the worker only through AnyThreadHost.

#include "Core/AnyThreadHost.h"
#include "Core/ControllerSettings.h"
#include "Core/StatusConfigFile.h"
#include "net/APIDispatcher.h"
#include "toolbar/XToolbarController.h"
#include "win/ClassFactory.h"
#include "win/NamedMutex.h"
#include "win/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class Controller;
class InstallBubbleDialog;
class XToolbarBubbleConfigFile;

// What the control shares with its polling worker: single words, written by one side and read by the other.
struct ConnectionThreadData
{
    static constexpr std::int32_t kRequestNone = 0;
    static constexpr std::int32_t kRequestUpdate = 2;

    std::atomic<Controller*> m_owner{nullptr};
    std::atomic<std::int32_t> m_stop{0};
    std::atomic<std::int32_t> m_request{kRequestNone};
};

class Controller final : public XToolbarController, public ControllerSettings
{
public:
    // The class factory of the module's one class, with its registration.
    struct ControllerFactory
    {
        static HRESULT CreateInstance(REFIID iid, void** out) noexcept;
        static const win::ClassEntry kEntry;
        // Writes or removes the control's class and ProgID in the current registration branch.
        [[nodiscard]] static HRESULT UpdateRegistry(bool registering) noexcept;
    };

    // The name of the dispatcher window's class.
    static constexpr wchar_t kDispatcherWindowName[] = L"KelToolbarForNorvixDispatcherWindow";
    // The state file names inside the toolbar's writable folder.
    static constexpr wchar_t kStatusFileName[] = L"Norvix.status.config";
    // Overlay control ids of the two status buttons.
    static constexpr UINT kPaviseControlId = 0x03090021;
    static constexpr UINT kNorvixControlId = 0x04990093;
    // What the worker hands to the UI thread after it saved a new status.
    static constexpr LPARAM kStatusPublishedMessage = 1;
    // Time-outs of the tracking request made on the UI thread when a button is clicked.
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
    void OnPostStartUp() noexcept override;
    void OnButtonClicked(const std::wstring& buttonName) noexcept override;
    [[nodiscard]] XToolbarWindow* CreateToolbarWindow() noexcept override;
    void ProcessControllerMessage(LPARAM value) noexcept override;

    // --- Status model (UI thread) ------------------------------------------------------------------------
    void RefreshStatusButtons();
    void RefreshPaviseButton();
    void RefreshUpdateButton();
    // Reads the text-labels preference again and refreshes the buttons (the host's preferences changed).
    void ReloadTextLabels();

    // --- Shared status file --------------------------------------------------------------------------------
    void OpenStatusFile();
    void SaveStatusFile(bool withTime, bool withPavise, bool withNorvix);
    void ReloadStatusFile();
    void CloseStatusFile() noexcept;
    [[nodiscard]] static std::wstring StatusFilePath();

    // --- Polling -------------------------------------------------------------------------------------------
    void StartPolling();
    void StopPolling() noexcept;
    void RequestWorkerUpdate() noexcept;

    // --- Clicks and the update action ------------------------------------------------------------------
    enum class TrackedButton
    {
        Pavise,
        Norvix,
    };
    [[nodiscard]] std::wstring BuildTrackingUrl(TrackedButton button);
    void SendTracking(const std::wstring& url);
    void StartProductUpdate();

    [[nodiscard]] APIDispatcher& Api() noexcept { return m_api; }
    [[nodiscard]] bool IsPolling() const noexcept { return m_pollThread != nullptr; }

protected:
    HRESULT InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept override;

private:
    static DWORD ConnectionThreadProc(ConnectionThreadData& data) noexcept;
    void PollUnderLock();
    void PollIfDue();
    [[nodiscard]] bool IsPollDue();
    void PublishStatus();
    void ProcessRequest();
    void CloseInstallBubble() noexcept;
    [[nodiscard]] std::wstring PollMutexName() const;

    std::unique_ptr<StatusConfigFile> m_statusFile;
    std::unique_ptr<XToolbarBubbleConfigFile> m_bubbleConfigFile;
    AnyThreadHost m_anyThreadHost;
    APIDispatcher m_api;
    std::unique_ptr<win::Thread> m_pollThread;
    std::unique_ptr<win::NamedMutex> m_pollMutex;
    ConnectionThreadData m_threadData;
    std::unique_ptr<InstallBubbleDialog> m_installBubble;
    std::mutex m_statusFileLock;
};
