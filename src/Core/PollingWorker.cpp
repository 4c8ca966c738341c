#include "Core/PollingWorker.h"

#include "Core/ControllerSettings.h"
#include "Core/PollSchedule.h"
#include "win/FailureReport.h"
#include "win/MessagePump.h"
#include "win/Scope.h"

namespace core
{

PollingWorker::PollingWorker(Owner& owner, net::APIDispatcher& api, SharedStatusFile& statusFile) noexcept
    : m_owner(owner), m_api(api), m_statusFile(statusFile)
{
}

PollingWorker::~PollingWorker()
{
    Stop();
}

bool PollingWorker::Start(const std::wstring& mutexName, Capture capture)
{
    if (!WIN_CHECK_THREAD(m_uiThread))
    {
        return false;
    }
    if (m_thread)
    {
        return true;
    }
    m_threadData.m_stop = 0;
    m_stopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_wakeEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (WIN_LOG_LAST_ERROR_IF(!m_stopEvent || !m_wakeEvent))
    {
        return false;
    }
    m_capture = std::move(capture);
    m_publishPending = false;
    RefreshSettings();
    auto mutex = std::make_unique<win::NamedMutex>();
    if (mutex->Create(mutexName))
    {
        m_mutex = std::move(mutex);
    }
    else
    {
        const DWORD error = ::GetLastError();
        WIN_REPORT_FAILURE("mutex->Create(mutexName)", HRESULT_FROM_WIN32(error),
            mutexName + L": " + win::NamedMutex::Describe(error) + L": never polls");
    }
    auto thread = std::make_shared<win::Thread>([this] { return ConnectionThreadProc(); });
    if (WIN_LOG_LAST_ERROR_IF(!thread->Create() || !thread->Resume()))
    {
        m_mutex.reset();
        return false;
    }
    m_thread = std::move(thread);
    return true;
}

void PollingWorker::Stop() noexcept
{
    // From another thread the wait would pump the wrong thread's messages; it still stops, as the caller frees next
    // what the thread uses.
    (void)WIN_CHECK_THREAD(m_uiThread);
    // The messages pumped while waiting may enter Stop again, or start the control anew (a nested Start after a
    // nested Stop): each call returns only once no thread of this worker runs, the newer one included, since the
    // caller frees next what the threads use.
    while (const std::shared_ptr<win::Thread> thread = m_thread)
    {
        m_threadData.m_stop = 1;
        ::SetEvent(m_stopEvent.Get());
        // The worker may be waiting for this thread (a window message of the query's COM component): keep this
        // thread's messages flowing until it has ended.
        win::WaitWhilePumping(thread->Handle());
        if (m_thread == thread)
        {
            m_thread.reset();
        }
    }
    m_threadData.m_stop = 1;
    m_mutex.reset();
}

void PollingWorker::RequestUpdate(platform::SettingsSnapshot settings)
{
    if (!WIN_CHECK_THREAD(m_uiThread))
    {
        return;
    }
    {
        const std::lock_guard lock(m_requestLock);
        m_requestSettings = std::move(settings);
    }
    m_threadData.m_request = ConnectionThreadData::kRequestUpdate;
    if (m_wakeEvent)
    {
        ::SetEvent(m_wakeEvent.Get());
    }
}

void PollingWorker::RefreshSettings(Refresh refresh)
{
    // The snapshot is taken from the host, which only its own thread may call.
    if (!WIN_CHECK_THREAD(m_uiThread) || !m_capture || IsStopping())
    {
        return;
    }
    if (refresh == Refresh::WhenAsked && !m_settingsAsked.load())
    {
        const std::lock_guard lock(m_settingsLock);
        if (::GetTickCount64() - m_settingsTakenAt < kSettingsAgeMs / 2)
        {
            return;
        }
    }
    // Taken outside the lock: the host calls may take a while, and the worker never waits for them.
    auto fresh = std::make_unique<platform::SettingsSnapshot>();
    m_capture(*fresh);
    {
        const std::lock_guard lock(m_settingsLock);
        m_freshSettings = std::move(fresh);
        m_settingsTakenAt = ::GetTickCount64();
    }
    m_settingsAsked = false;
}

DWORD PollingWorker::ConnectionThreadProc()
{
    // The answer is parsed by a COM component, in this thread's own apartment. An exception (out of memory)
    // ends the worker at win::Thread's boundary; the instance then follows the others through their events.
    const win::ComInit com(COINIT_APARTMENTTHREADED);
    while (!IsStopping())
    {
        // A request waiting since the last pass goes first: a click is answered within a pass.
        ProcessRequest();
        TakeSettings();
        PollUnderLock();
        if (IsStopping())
        {
            break;
        }
        ProcessRequest();
        if (m_publishPending.load() && Posted(m_owner.PostStatusPublished(), "m_owner.PostStatusPublished()"))
        {
            m_publishPending = false;
        }
        if (!Pause(kPassSleepMs))
        {
            break;
        }
    }
    return 0;
}

void PollingWorker::TakeSettings()
{
    std::unique_ptr<platform::SettingsSnapshot> fresh;
    ULONGLONG takenAt = 0;
    {
        const std::lock_guard lock(m_settingsLock);
        fresh = std::move(m_freshSettings);
        takenAt = m_settingsTakenAt;
    }
    if (fresh)
    {
        m_settings = std::move(*fresh);
    }
    // One request at a time: a UI thread that is busy is not asked again until it has answered.
    if (!m_settingsAsked.load() && ::GetTickCount64() - takenAt >= kSettingsAgeMs)
    {
        m_settingsAsked = true;
        if (!Posted(m_owner.PostSettingsRequest(), "m_owner.PostSettingsRequest()"))
        {
            m_settingsAsked = false;
        }
    }
}

void PollingWorker::PollUnderLock()
{
    if (!m_mutex)
    {
        return;
    }
    const ControllerSettings settings(m_settings);
    const std::int32_t wait = settings.GetPullingInstanceLockWaitTimeMs();
    const auto taken = m_mutex->Wait(wait > 0 ? static_cast<DWORD>(wait) : 0, m_stopEvent.Get());
    if (taken != win::NamedMutex::WaitResult::Acquired && taken != win::NamedMutex::WaitResult::Abandoned)
    {
        return;  // another instance holds it, or this one stops
    }
    {
        const win::ScopeExit release([this] { m_mutex->Release(); });
        if (IsStopping() || !ClaimPollIfDue(settings))
        {
            // Holding the mutex a moment longer keeps the other instances from trying right after this one; a
            // click ends the moment, so that its request goes out at once and not with the mutex held.
            (void)Pause(kPassSleepMs);
            return;
        }
    }
    // The claim stands for every instance: the query holds nothing that another instance waits for.
    net::APIDispatcher::Answer answer;
    (void)m_api.QueryStatus(m_settings, m_stopEvent.Get(), answer);
    if (IsStopping())
    {
        return;  // the claim stays: the others ask again after the interval
    }
    const auto stored = m_mutex->Wait(kStoreWaitMs, m_stopEvent.Get());
    if (stored == win::NamedMutex::WaitResult::Interrupted)
    {
        return;
    }
    win::ScopeExit release([this] { m_mutex->Release(); });
    if (stored != win::NamedMutex::WaitResult::Acquired && stored != win::NamedMutex::WaitResult::Abandoned)
    {
        release.Dismiss();  // a holder that keeps it this long must not cost the answer
    }
    PublishStatus(answer);
}

bool PollingWorker::ClaimPollIfDue(const ControllerSettings& intervals)
{
    // This instance's copy of the record can only be older than the file: when it says the poll is not due,
    // nothing is read (at worst a poll comes later, never twice). When it says due, the file on disk decides: an
    // instance whose UI thread has not handled the last "UpdateStatus" yet would otherwise poll again within
    // the interval.
    const std::optional<StatusRecord> held = m_statusFile.Record();
    if (!held || !IsPollDue(*held, intervals))
    {
        return false;
    }
    const std::optional<StatusRecord> record = m_statusFile.Reload(SharedStatusFile::Caller::Worker);
    if (!record || IsStopping() || !IsPollDue(*record, intervals))
    {
        return false;
    }
    // Even when the stamp cannot be written this instance polls: its own record holds the stamp, so it asks at
    // most once per interval, and a file nobody can write must not keep every button in its old state.
    (void)m_statusFile.Save({true, std::nullopt, std::nullopt}, SharedStatusFile::Caller::Worker);
    return true;
}

bool PollingWorker::IsPollDue(const StatusRecord& record, const ControllerSettings& settings) const
{
    return IsPollDueAt(record.lastCheck.Value(), record.lastCheck.status == storage::DateTime::Valid,
        PollIntervalSeconds(record.norvixStatus, settings), storage::DateTime::Now().Value());
}

void PollingWorker::PublishStatus(const net::APIDispatcher::Answer& answer)
{
    // Stamped whatever the answer, so a failing service is asked again only after the retry interval. The codes
    // are the pair this query answered: the client's own may have been replaced meanwhile by the UI thread with
    // older ones from the file.
    SharedStatusFile::Change change{true, std::nullopt, std::nullopt};
    if (answer.changed)
    {
        change.paviseStatus = static_cast<std::int32_t>(answer.pavise);
        change.norvixStatus = static_cast<std::int32_t>(answer.norvix);
    }
    (void)m_statusFile.Save(change, SharedStatusFile::Caller::Worker);
    if (answer.changed)
    {
        // The buttons and the host's event belong to the UI thread; the worker only hands them over, again at
        // the next pass when that thread's queue has no room now.
        m_publishPending = !Posted(m_owner.PostStatusPublished(), "m_owner.PostStatusPublished()");
    }
}

void PollingWorker::ProcessRequest()
{
    if (m_threadData.m_request.exchange(ConnectionThreadData::kRequestNone) != ConnectionThreadData::kRequestUpdate)
    {
        return;
    }
    platform::SettingsSnapshot settings;
    {
        const std::lock_guard lock(m_requestLock);
        settings = m_requestSettings;
    }
    if (!m_api.RequestUpdate(settings, m_stopEvent.Get()) && !IsStopping())
    {
        WIN_REPORT_FAILURE(
            "m_api.RequestUpdate(settings, m_stopEvent.Get())", S_OK, L"the product was not told to update");
    }
}

bool PollingWorker::Posted(bool posted, const char* post) noexcept
{
    // A UI thread whose queue is full refuses every post until it catches up: the first refusal is told, the
    // others are the same story until a post gets through again. A control between the windows of two start-ups
    // has none to post to: no failure, as a new window shows what the file holds (the post is tried again too).
    const DWORD error = ::GetLastError();
    const bool refused = !posted && error != ERROR_INVALID_WINDOW_HANDLE;
    if (refused && !m_postsRefused)
    {
        (void)win::ReportWin32Error(__FILE__, __LINE__, post, error);
    }
    m_postsRefused = refused;
    return posted;
}

bool PollingWorker::Pause(DWORD ms) noexcept
{
    const HANDLE handles[] = {m_stopEvent.Get(), m_wakeEvent.Get()};
    (void)::WaitForMultipleObjects(2, handles, FALSE, ms);
    return !IsStopping();
}

}  // namespace core
