#include "Core/PollingWorker.h"

#include "Core/ControllerSettings.h"
#include "Core/PollSchedule.h"
#include "win/MessagePump.h"
#include "win/Scope.h"

#include <algorithm>
#include <vector>

PollingWorker::PollingWorker(Owner& owner, APIDispatcher& api, SharedStatusFile& statusFile) noexcept
    : m_owner(owner), m_api(api), m_statusFile(statusFile)
{
}

PollingWorker::~PollingWorker()
{
    Stop();
}

namespace
{
// The running workers and the threads that answer them.
std::mutex s_registryLock;
std::vector<std::pair<DWORD, PollingWorker*>> s_registry;

void Register(PollingWorker* worker, DWORD thread)
{
    const std::lock_guard lock(s_registryLock);
    s_registry.emplace_back(thread, worker);
}

void Unregister(PollingWorker* worker) noexcept
{
    const std::lock_guard lock(s_registryLock);
    std::erase_if(s_registry, [worker](const auto& entry) { return entry.second == worker; });
}

bool IsRegistered(PollingWorker* worker, DWORD thread)
{
    const std::lock_guard lock(s_registryLock);
    return std::find(s_registry.begin(), s_registry.end(), std::pair(thread, worker)) != s_registry.end();
}
}  // namespace

bool PollingWorker::Start(const std::wstring& mutexName, Capture capture)
{
    if (m_thread)
    {
        return true;
    }
    m_capture = std::move(capture);
    m_answeringThread = ::GetCurrentThreadId();
    m_threadData.m_stop = 0;
    m_stopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_wakeEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    m_answeredEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_stopEvent || !m_wakeEvent || !m_answeredEvent)
    {
        return false;
    }
    auto mutex = std::make_unique<win::NamedMutex>();
    if (mutex->Create(mutexName))
    {
        m_mutex = std::move(mutex);
    }
    Register(this, m_answeringThread);
    auto thread = std::make_unique<win::Thread>([this] { return ConnectionThreadProc(); });
    if (!thread->Create() || !thread->Resume())
    {
        Unregister(this);
        m_mutex.reset();
        return false;
    }
    m_thread = std::move(thread);
    return true;
}

void PollingWorker::Stop() noexcept
{
    Unregister(this);
    m_threadData.m_stop = 1;
    if (m_stopEvent)
    {
        ::SetEvent(m_stopEvent.Get());
    }
    if (m_thread)
    {
        // The worker may be waiting for this thread (a window message of the query's COM component): keep this
        // thread's messages flowing until it has ended.
        win::WaitWhilePumping(m_thread->Handle());
        m_thread.reset();
    }
    m_mutex.reset();
}

void PollingWorker::RequestUpdate(SettingsSnapshot settings)
{
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

void PollingWorker::AnswerSettingsRequestsOfThisThread()
{
    const DWORD thread = ::GetCurrentThreadId();
    std::vector<PollingWorker*> workers;
    {
        const std::lock_guard lock(s_registryLock);
        for (const auto& [answering, worker] : s_registry)
        {
            if (answering == thread)
            {
                workers.push_back(worker);
            }
        }
    }
    for (PollingWorker* worker : workers)
    {
        // A host call may have let this thread stop a worker meanwhile.
        if (IsRegistered(worker, thread))
        {
            worker->AnswerSettingsRequest();
        }
    }
}

void PollingWorker::AnswerSettingsRequest()
{
    bool withQuery = false;
    {
        const std::lock_guard lock(m_exchangeLock);
        if (m_exchange == Exchange::Answered || IsStopping() || !m_capture)
        {
            return;
        }
        withQuery = m_exchange == Exchange::Requested && m_requestWithQuery;
    }
    // Captured outside the lock: the host calls may take a while and the worker may give up meanwhile.
    SettingsSnapshot settings;
    m_capture(settings, withQuery);
    const std::lock_guard lock(m_exchangeLock);
    if (m_exchange != Exchange::Answered)
    {
        m_answer = std::move(settings);
        m_answerHasQuery = withQuery;
        m_exchange = Exchange::Answered;
        if (m_workerWaiting)
        {
            ::SetEvent(m_answeredEvent.Get());
        }
    }
}

DWORD PollingWorker::ConnectionThreadProc()
{
    // The answer is parsed by a COM component, in this thread's own apartment. An exception (out of memory)
    // ends the worker at win::Thread's boundary; the instance then follows the others through their events.
    const win::ComInit com(COINIT_APARTMENTTHREADED);
    (void)RequestSettings(false);
    while (!IsStopping())
    {
        // A request waiting since the last pass goes first: a click is answered within a pass.
        ProcessRequest();
        // The settings this pass works with were asked for at the end of the last one and the UI thread
        // answered while this thread slept: a setting changed in the host shows at the next pass. The query's
        // own texts are asked for only when a poll may be due.
        SettingsSnapshot settings;
        bool hasQuery = false;
        if (!TakeSettings(settings, hasQuery))
        {
            if (!Pause(kPassSleepMs, true) || !RequestSettings(false))
            {
                break;
            }
            continue;
        }
        if (MayPoll(settings) && !hasQuery && (!RequestSettings(true) || !TakeSettings(settings, hasQuery)))
        {
            continue;
        }
        PollUnderLock(settings, hasQuery);
        if (IsStopping())
        {
            break;
        }
        ProcessRequest();
        if (!RequestSettings(MayPoll(settings)) || !Pause(kPassSleepMs, true))
        {
            break;
        }
    }
    return 0;
}

bool PollingWorker::RequestSettings(bool withQuery)
{
    {
        const std::lock_guard lock(m_exchangeLock);
        if (m_exchange == Exchange::Answered && (m_answerHasQuery || !withQuery))
        {
            return true;  // readied while the UI thread answered another worker
        }
        m_exchange = Exchange::Requested;
        m_requestWithQuery = withQuery;
    }
    return m_owner.PostSettingsRequest();
}

bool PollingWorker::TakeSettings(SettingsSnapshot& settings, bool& hasQuery)
{
    // Waits as long as the UI thread needs: nothing is held meanwhile, an update request is sent meanwhile
    // (it carries its own settings), and stopping ends the wait.
    const HANDLE handles[] = {m_answeredEvent.Get(), m_stopEvent.Get(), m_wakeEvent.Get()};
    for (;;)
    {
        {
            const std::lock_guard lock(m_exchangeLock);
            if (m_exchange == Exchange::Answered)
            {
                settings = std::move(m_answer);
                hasQuery = m_answerHasQuery;
                m_exchange = Exchange::Idle;
                m_workerWaiting = false;
                return true;
            }
            if (m_exchange != Exchange::Requested)
            {
                return false;
            }
            m_workerWaiting = true;
        }
        const DWORD woken = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 2 && !IsStopping())
        {
            ProcessRequest();
        }
        else if (woken != WAIT_OBJECT_0)
        {
            const std::lock_guard lock(m_exchangeLock);
            m_workerWaiting = false;
            return false;
        }
    }
}

bool PollingWorker::MayPoll(SettingsSnapshot& settings) const
{
    const std::optional<StatusRecord> held = m_statusFile.Record();
    return held && IsPollDue(*held, ControllerSettings(settings));
}

void PollingWorker::PollUnderLock(SettingsSnapshot& settings, bool hasQuery)
{
    if (!m_mutex)
    {
        return;
    }
    const std::int32_t wait = ControllerSettings(settings).GetPullingInstanceLockWaitTimeMs();
    const auto result = m_mutex->Wait(wait > 0 ? static_cast<DWORD>(wait) : 0);
    if (result != win::NamedMutex::WaitResult::Acquired && result != win::NamedMutex::WaitResult::Abandoned)
    {
        return;  // another instance holds it
    }
    const win::ScopeExit release([this] { m_mutex->Release(); });
    if (IsStopping())
    {
        return;
    }
    PollIfDue(settings, hasQuery);
    // Holding the mutex a moment longer keeps the other instances from polling right after this one.
    (void)Pause(kPassSleepMs, false);
}

void PollingWorker::PollIfDue(SettingsSnapshot& settings, bool hasQuery)
{
    // This instance's copy of the record can only be older than the file: when it says the poll is not due,
    // nothing is read (at worst a poll comes later, never twice). When it says due, the file on disk decides: an
    // instance whose UI thread has not handled the last "UpdateStatus" yet would otherwise poll again within
    // the interval and write its older codes back.
    const ControllerSettings intervals(settings);
    const std::optional<StatusRecord> held = m_statusFile.Record();
    if (!hasQuery || !held || !IsPollDue(*held, intervals))
    {
        return;  // without the query's texts the pass cannot ask; the next one asks for them
    }
    const std::optional<StatusRecord> record = m_statusFile.Reload(SharedStatusFile::Caller::Worker);
    if (!record || IsStopping() || !IsPollDue(*record, intervals))
    {
        return;
    }
    m_api.QueryStatus(settings);
    PublishStatus();
}

bool PollingWorker::IsPollDue(const StatusRecord& record, const ControllerSettings& settings) const
{
    std::int32_t interval = 0;
    switch (PollIntervalFor(record.norvixStatus))
    {
    case PollInterval::Retry: interval = settings.GetStatusRetryIntervalSecs(); break;
    case PollInterval::Update: interval = settings.GetStatusUpdateIntervalSecs(); break;
    case PollInterval::Default: interval = settings.GetStatusDefaultIntervalSecs(); break;
    }
    return IsPollDueAt(record.lastCheck.value, record.lastCheck.status == storage::DateTime::Valid, interval,
        storage::DateTime::Now().value);
}

void PollingWorker::PublishStatus()
{
    // Stamped whatever the answer, so a failing service is asked again only after the retry interval.
    (void)m_statusFile.Save({true, std::nullopt, std::nullopt}, SharedStatusFile::Caller::Worker);
    if (!m_api.HasChanged())
    {
        return;
    }
    (void)m_statusFile.Save(
        {true, static_cast<std::int32_t>(m_api.GetPaviseStatus()), static_cast<std::int32_t>(m_api.GetNorvixStatus())},
        SharedStatusFile::Caller::Worker);
    // The buttons and the host's event belong to the UI thread; the worker only hands them over.
    m_owner.PostStatusPublished();
}

void PollingWorker::ProcessRequest()
{
    if (m_threadData.m_request.exchange(ConnectionThreadData::kRequestNone) != ConnectionThreadData::kRequestUpdate)
    {
        return;
    }
    SettingsSnapshot settings;
    {
        const std::lock_guard lock(m_requestLock);
        settings = m_requestSettings;
    }
    m_api.RequestUpdate(settings);
}

bool PollingWorker::Pause(DWORD ms, bool wakeForRequest) noexcept
{
    const HANDLE handles[] = {m_stopEvent.Get(), m_wakeEvent.Get()};
    (void)::WaitForMultipleObjects(wakeForRequest ? 2 : 1, handles, FALSE, ms);
    return !IsStopping();
}
