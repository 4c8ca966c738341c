#pragma once
// PollingWorker: the polling thread of one product control. Every pass it asks its control's UI thread for
// the pass's settings (one snapshot: the lock wait, the intervals, the query's texts), then tries briefly to
// take a mutex that all browser instances of the user share; the holder reads the shared status file as it
// is on disk and, when the interval since the last check has run out, queries the product's service, stamps
// the file and, when the answer changed something, stores it and tells its control, whose UI thread then
// refreshes the buttons and fires "UpdateStatus" so every instance reloads the file. The same thread sends
// the update request of a click.
//
// Nothing that can wait for the UI thread happens while the mutex is held: a busy or hung window then only
// keeps its own worker waiting, never the other instances. Deciding from the file on disk, under the mutex,
// keeps to one query per interval whether or not the instances' UI threads have handled the last event.
//
// Threads: Start, Stop, RequestUpdate and AnswerSettingsRequest are for the UI thread; the rest runs on the
// worker. Stop keeps the UI thread's messages flowing while it waits, since the worker may be waiting for it.

#include "Core/ControllerSettings.h"
#include "Core/SharedStatusFile.h"
#include "net/APIDispatcher.h"
#include "platform/SettingsSnapshot.h"
#include "win/Handle.h"
#include "win/NamedMutex.h"
#include "win/Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

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
        // Asks the UI thread to call AnswerSettingsRequest; false when it cannot be asked (no window).
        virtual bool PostSettingsRequest() noexcept = 0;
        // A changed status was saved: the UI thread refreshes the buttons and announces it.
        virtual void PostStatusPublished() noexcept = 0;

    protected:
        ~Owner() = default;
    };

    // Sleep between passes, and how long the mutex stays held after a pass that took it.
    static constexpr DWORD kPassSleepMs = 100;

    PollingWorker(Owner& owner, APIDispatcher& api, SharedStatusFile& statusFile) noexcept;
    PollingWorker(const PollingWorker&) = delete;
    PollingWorker& operator=(const PollingWorker&) = delete;
    ~PollingWorker();

    // Fills a snapshot from the host: always the pass's own settings (ControllerSettings::PassSettings), and
    // with `withQuery` also the status query's (APIDispatcher::QuerySettings). Runs on the thread that
    // started the worker.
    using Capture = std::function<void(SettingsSnapshot& settings, bool withQuery)>;

    // Creates the mutex named `mutexName` (without it the worker never polls but still sends update requests)
    // and starts the thread; `capture` answers its settings requests. The calling thread is the one that
    // answers. False when the thread cannot be made; then nothing polls in this instance.
    bool Start(const std::wstring& mutexName, Capture capture);
    // Ends the thread and waits for it while pumping the calling thread's messages; closes the mutex.
    void Stop() noexcept;
    [[nodiscard]] bool IsRunning() const noexcept { return m_thread != nullptr; }
    [[nodiscard]] bool IsStopping() const noexcept { return m_threadData.m_stop.load() != 0; }
    [[nodiscard]] bool HasMutex() const noexcept { return m_mutex != nullptr; }

    // Queues the product's update request, sent with `settings` (the update's texts, looked up at the click),
    // and wakes the worker for it.
    void RequestUpdate(SettingsSnapshot settings);
    // Answers this worker's settings request, or has the answer ready for its next one. Does nothing when an
    // answer waits already or the worker is stopping.
    void AnswerSettingsRequest();
    // On a thread that started workers: answers (or readies the answer of) every one of them. One wake of the
    // thread serves all of its controls, whose workers then need not post a request of their own.
    static void AnswerSettingsRequestsOfThisThread();

private:
    DWORD ConnectionThreadProc();
    // Asks the UI thread for the next pass's settings (with the query's when `withQuery`); false when it
    // cannot be asked.
    bool RequestSettings(bool withQuery);
    // The answer to the last request, waiting for it if need be; false when none can come or the worker is
    // stopping first.
    [[nodiscard]] bool TakeSettings(SettingsSnapshot& settings, bool& hasQuery);
    // Whether this instance's copy of the record says a poll is due.
    [[nodiscard]] bool MayPoll(SettingsSnapshot& settings) const;
    void PollUnderLock(SettingsSnapshot& settings, bool hasQuery);
    void PollIfDue(SettingsSnapshot& settings, bool hasQuery);
    [[nodiscard]] bool IsPollDue(const StatusRecord& record, const ControllerSettings& settings) const;
    void PublishStatus();
    void ProcessRequest();
    // Waits `ms`, ending early when the worker is told to stop (or, when asked, is woken for a request).
    // False when stopping.
    bool Pause(DWORD ms, bool wakeForRequest) noexcept;

    Owner& m_owner;
    APIDispatcher& m_api;
    SharedStatusFile& m_statusFile;
    ConnectionThreadData m_threadData;
    win::KernelHandle m_stopEvent;  // manual reset: set once by Stop
    win::KernelHandle m_wakeEvent;  // auto reset: a request is waiting
    win::KernelHandle m_answeredEvent;  // auto reset: the settings request the worker waits for was answered

    enum class Exchange
    {
        Idle,
        Requested,
        Answered,
    };
    std::mutex m_exchangeLock;
    Exchange m_exchange = Exchange::Idle;
    bool m_requestWithQuery = false;
    bool m_answerHasQuery = false;
    bool m_workerWaiting = false;  // the answer is to be signalled: the worker waits for it
    SettingsSnapshot m_answer;
    std::mutex m_requestLock;
    SettingsSnapshot m_requestSettings;

    Capture m_capture;
    DWORD m_answeringThread = 0;
    std::unique_ptr<win::NamedMutex> m_mutex;
    std::unique_ptr<win::Thread> m_thread;
};
