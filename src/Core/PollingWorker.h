#pragma once
// PollingWorker: the polling thread of one product control. Every pass it tries briefly to take a mutex that all
// browser instances of the user share. The holder reads the shared status file as it is on disk and, when the
// interval since the last check has run out, claims the poll by stamping the file and lets the mutex go; it then
// asks the product's service, within the query's deadline, stores exactly what the service answered (taking the
// mutex again for that moment) and, when the answer changed something, tells its control, whose UI thread then
// refreshes the buttons and fires "UpdateStatus" so every instance reloads the file. The same thread sends the
// update request of a click.
//
// The worker never waits for a window and never holds the mutex across the network: a busy or hung window, or a
// service that never answers or drips its answer, keeps only this worker from its next pass, never another
// instance from polling. An instance that ends after its claim costs the others one interval, no more. Deciding
// from the file on disk, under the mutex, keeps to one query per interval whether or not the instances' UI
// threads have handled the last event.
//
// The worker works from the latest snapshot of its host's settings, which the UI thread takes when the worker
// asks for one (once the snapshot is kSettingsAgeMs old) and at once after a click: a setting changed in the
// host takes effect within about a second.
//
// Threads: Start, Stop, RequestUpdate and RefreshSettings are for the UI thread, the one that made the worker
// (checked: a call from another thread is a broken rule, see win::ThreadAffinity); the rest runs on the worker.
// Stop keeps the UI thread's messages flowing while it waits, and may be entered again from those messages.
//
// Failures are reported (win::FailureReport) where they happen: a worker that cannot start or has no mutex, an
// update request that failed, a post its UI thread refused (the first of a run of them).

#include "Core/ControllerSettings.h"
#include "Core/SharedStatusFile.h"
#include "net/APIDispatcher.h"
#include "platform/SettingsSnapshot.h"
#include "win/Handle.h"
#include "win/NamedMutex.h"
#include "win/Thread.h"
#include "win/ThreadAffinity.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace core
{

// The words the control and its worker share, each written by one side and read by the other.
struct ConnectionThreadData
{
    static constexpr std::int32_t kRequestNone = 0;
    static constexpr std::int32_t kRequestUpdate = 2;

    std::atomic<std::int32_t> m_stop{0};
    std::atomic<std::int32_t> m_request{kRequestNone};
};

class PollingWorker
{
public:
    // What the worker asks of its control. Called on the worker thread; the calls only post to the UI thread.
    class Owner
    {
    public:
        // Asks the UI thread to call RefreshSettings; false when it cannot be asked now (asked again later).
        virtual bool PostSettingsRequest() noexcept = 0;
        // A changed status was saved: the UI thread refreshes the buttons and announces it. False when the UI
        // thread could not be told now (its queue is full); the worker tells it again at its next pass.
        virtual bool PostStatusPublished() noexcept = 0;

    protected:
        ~Owner() = default;
    };

    // Sleep between passes, and how long the mutex stays held after a pass that took it and found no poll due
    // (both cut short by a click's request).
    static constexpr DWORD kPassSleepMs = 100;
    // How old the settings snapshot grows before the worker asks for a new one.
    static constexpr DWORD kSettingsAgeMs = 1000;
    // How long the worker waits for the mutex to store an answer; after that it stores it without.
    static constexpr DWORD kStoreWaitMs = 1000;

    PollingWorker(Owner& owner, net::APIDispatcher& api, SharedStatusFile& statusFile) noexcept;
    PollingWorker(const PollingWorker&) = delete;
    PollingWorker& operator=(const PollingWorker&) = delete;
    ~PollingWorker();

    // Fills a snapshot from the host with every setting a pass uses: ControllerSettings::PassSettings and
    // APIDispatcher::QuerySettings. Runs on the thread that started the worker.
    using Capture = std::function<void(platform::SettingsSnapshot& settings)>;

    // Takes the first snapshot with `capture`, creates the mutex named `mutexName` (without it the worker never
    // polls but still sends update requests) and starts the thread. False when the thread cannot be made; then
    // nothing polls in this instance.
    bool Start(const std::wstring& mutexName, Capture capture);
    // Ends the thread and waits for it while pumping the calling thread's messages; closes the mutex. Returns
    // once no thread of this worker runs, also when a Start came in from the pumped messages meanwhile.
    void Stop() noexcept;
    [[nodiscard]] bool IsRunning() const noexcept { return m_thread != nullptr; }
    [[nodiscard]] bool IsStopping() const noexcept { return m_threadData.m_stop.load() != 0; }
    [[nodiscard]] bool HasMutex() const noexcept { return m_mutex != nullptr; }

    // Queues the product's update request, sent with `settings` (the update's texts, looked up at the click),
    // and wakes the worker for it.
    void RequestUpdate(platform::SettingsSnapshot settings);
    enum class Refresh
    {
        Always,
        WhenAsked,  // only when the worker asked for one or the last is getting old
    };
    // Takes a new snapshot of the host's settings for the worker's next pass; Refresh::WhenAsked where another
    // control's request may have woken this thread.
    void RefreshSettings(Refresh refresh = Refresh::Always);

private:
    DWORD ConnectionThreadProc();
    // Takes the snapshot the UI thread left, and asks for the next one once this one is old.
    void TakeSettings();
    void PollUnderLock();
    // Under the mutex: whether a poll is due by the file on disk; if so, stamps the file so that no other
    // instance polls within the interval.
    [[nodiscard]] bool ClaimPollIfDue(const ControllerSettings& intervals);
    [[nodiscard]] bool IsPollDue(const StatusRecord& record, const ControllerSettings& settings) const;
    // Stores what the service answered and has the UI thread announce a change.
    void PublishStatus(const net::APIDispatcher::Answer& answer);
    void ProcessRequest();
    // Waits `ms`, ending early when the worker is told to stop or woken for a request. False when stopping.
    bool Pause(DWORD ms) noexcept;
    // Passes on whether a post to the UI thread went through, reporting the first refusal of a run.
    bool Posted(bool posted, const char* post) noexcept;

    win::ThreadAffinity m_uiThread;
    Owner& m_owner;
    net::APIDispatcher& m_api;
    SharedStatusFile& m_statusFile;
    ConnectionThreadData m_threadData;
    win::KernelHandle m_stopEvent;  // manual reset: set by Stop
    win::KernelHandle m_wakeEvent;  // auto reset: a request is waiting

    Capture m_capture;
    platform::SettingsSnapshot m_settings;  // the worker's own
    std::mutex m_settingsLock;  // guards the two below
    std::unique_ptr<platform::SettingsSnapshot> m_freshSettings;  // taken on the UI thread for the next pass
    ULONGLONG m_settingsTakenAt = 0;
    std::atomic<bool> m_settingsAsked{false};
    std::atomic<bool> m_publishPending{false};  // a change was stored; the UI thread has not been told yet
    bool m_postsRefused = false;  // worker only: the last post to the UI thread was refused

    std::mutex m_requestLock;
    platform::SettingsSnapshot m_requestSettings;

    std::unique_ptr<win::NamedMutex> m_mutex;
    std::shared_ptr<win::Thread> m_thread;  // shared with a Stop that waits for it
};

}  // namespace core
