// Status polling. Each control runs one worker. Every pass the worker tries briefly to take a mutex that all
// browser instances of the user share; the holder queries the product's service when the interval since
// the last check recorded in the status file has run out, stamps the file, and when the answer changed
// something stores it and hands the refresh and the "UpdateStatus" event to the UI thread, from where the
// host delivers the event to every instance. The same worker sends the update request of a click.

#include "Core/Controller.h"
#include "Core/PollSchedule.h"
#include "win/MessagePump.h"
#include "win/Scope.h"
#include "win/Strings.h"

namespace
{
constexpr DWORD kPassSleepMs = 100;
} // namespace

std::wstring Controller::PollMutexName() const
{
    // No kernel-namespace prefix: the mutex is shared by the processes of the logged-on user's session.
    return win::Format(L"%ls_%ls", L"KEL_PULLING_INSTANCE", win::ToUpper(GetInstallationGuid()).c_str());
}

void Controller::StartPolling()
{
    if (m_pollThread)
    {
        return;
    }
    m_threadData.m_owner = this;
    m_threadData.m_stop = 0;
    auto mutex = std::make_unique<win::NamedMutex>();
    if (mutex->Create(PollMutexName()))
    {
        m_pollMutex = std::move(mutex);
    }
    auto thread = std::make_unique<win::Thread>([this] { return ConnectionThreadProc(m_threadData); });
    if (thread->Create() && thread->Resume())
    {
        m_pollThread = std::move(thread);
    }
}

void Controller::StopPolling() noexcept
{
    m_threadData.m_stop = 1;
    if (m_pollThread)
    {
        // The worker may be waiting for this thread (a call into the host object, a window message): keep
        // this thread's messages flowing until it has ended.
        win::WaitWhilePumping(m_pollThread->Handle());
        m_pollThread.reset();
    }
    m_threadData.m_owner = nullptr;
    m_pollMutex.reset();
}

void Controller::RequestWorkerUpdate() noexcept
{
    m_threadData.m_request = ConnectionThreadData::kRequestUpdate;
}

DWORD Controller::ConnectionThreadProc(ConnectionThreadData& data) noexcept
{
    Controller* const owner = data.m_owner.load();
    if (!owner)
    {
        return 0;
    }
    // The host object is reached through COM from here, and the answer is parsed by a COM component.
    const win::ComInit com(COINIT_APARTMENTTHREADED);
    try
    {
        while (data.m_stop == 0)
        {
            owner->PollUnderLock();
            if (data.m_stop != 0)
            {
                break;
            }
            owner->ProcessRequest();
            if (data.m_stop != 0)
            {
                break;
            }
            ::Sleep(kPassSleepMs);
        }
    }
    catch (...)
    {
        // Out of memory on the worker: it ends; the instance follows the others through their events.
    }
    return 0;
}

void Controller::PollUnderLock()
{
    if (!m_pollMutex)
    {
        return;
    }
    const std::int32_t wait = GetPullingInstanceLockWaitTimeMs();
    const auto result = m_pollMutex->Wait(wait > 0 ? static_cast<DWORD>(wait) : 0);
    const bool acquired =
        result == win::NamedMutex::WaitResult::Acquired || result == win::NamedMutex::WaitResult::Abandoned;
    if (!acquired)
    {
        return;
    }
    const win::ScopeExit release([this] { m_pollMutex->Release(); });
    if (m_threadData.m_stop != 0)
    {
        return;
    }
    PollIfDue();
    if (m_threadData.m_stop != 0)
    {
        return;
    }
    // Holding the mutex a moment longer keeps the other instances from polling right after this one.
    ::Sleep(kPassSleepMs);
}

void Controller::PollIfDue()
{
    if (IsPollDue())
    {
        m_api.QueryStatus();
        PublishStatus();
    }
}

bool Controller::IsPollDue()
{
    double lastCheck = 0.0;
    bool lastCheckValid = false;
    std::int32_t norvixStatus = 0;
    {
        std::lock_guard lock(m_statusFileLock);
        const StatusConfigStream* record = m_statusFile ? m_statusFile->GetRecord() : nullptr;
        if (!record)
        {
            return false;
        }
        lastCheck = record->m_lastCheck.value;
        lastCheckValid = record->m_lastCheck.status == storage::DateTime::Valid;
        norvixStatus = record->m_norvixStatus;
    }
    // Only the setting that applies is looked up: from the worker each lookup is a call into the UI thread.
    std::int32_t interval = 0;
    switch (PollIntervalFor(norvixStatus))
    {
    case PollInterval::Retry: interval = GetStatusRetryIntervalSecs(); break;
    case PollInterval::Update: interval = GetStatusUpdateIntervalSecs(); break;
    case PollInterval::Default: interval = GetStatusDefaultIntervalSecs(); break;
    }
    return IsPollDueAt(lastCheck, lastCheckValid, interval, storage::DateTime::Now().value);
}

void Controller::PublishStatus()
{
    // Stamped whatever the answer, so a failing service is asked again only after the retry interval.
    SaveStatusFile(true, false, false);
    if (!m_api.HasChanged())
    {
        return;
    }
    SaveStatusFile(true, true, true);
    // The buttons and the host's event belong to the UI thread; the worker only hands them over.
    PostControllerMessage(kStatusPublishedMessage);
}

void Controller::ProcessRequest()
{
    const std::int32_t request = m_threadData.m_request.exchange(ConnectionThreadData::kRequestNone);
    if (request == ConnectionThreadData::kRequestUpdate)
    {
        m_api.RequestUpdate();
    }
}
