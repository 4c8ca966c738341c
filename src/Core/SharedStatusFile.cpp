#include "Core/SharedStatusFile.h"

#include "platform/BrowserUtilities.h"
#include "win/FailureReport.h"

#include <chrono>

std::wstring SharedStatusFile::DefaultPath()
{
    return GetWriteableFolder(L"KelToolbar", TRUE) + kFileName;
}

StatusRecord SharedStatusFile::Copy(const StatusConfigStream& stream) noexcept
{
    return {stream.m_paviseStatus, stream.m_norvixStatus, stream.m_lastCheck};
}

std::unique_lock<std::timed_mutex> SharedStatusFile::Lock(Caller caller, std::optional<storage::RetryLimit>& limit)
{
    if (caller == Caller::Worker)
    {
        return std::unique_lock(m_lock);
    }
    limit.emplace(storage::kUiThreadRetryLimitMs);
    std::unique_lock lock(m_lock, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::milliseconds(storage::kUiThreadRetryLimitMs)))
    {
        WIN_REPORT_FAILURE("lock.try_lock_for", HRESULT_FROM_WIN32(ERROR_TIMEOUT),
            L"its lock stayed taken longer than the UI thread waits: the status file is not used now");
    }
    return lock;
}

void SharedStatusFile::LimitRetries(Caller caller) noexcept
{
    m_file->SetRetryLimit(caller == Caller::UiThread ? storage::kUiThreadRetryLimitMs : storage::kSharingRetryLimitMs);
}

void SharedStatusFile::Open(const std::wstring& path, Caller caller)
{
    auto file = std::make_unique<StatusConfigFile>();
    file->Open(path);
    const std::lock_guard lock(m_lock);
    m_file = std::move(file);
    LimitRetries(caller);
    (void)m_file->Load(false, true);
}

void SharedStatusFile::Close() noexcept
{
    std::unique_ptr<StatusConfigFile> closing;
    {
        const std::lock_guard lock(m_lock);
        closing = std::move(m_file);
    }
}

bool SharedStatusFile::IsOpen() const
{
    const std::lock_guard lock(m_lock);
    return m_file != nullptr;
}

std::optional<StatusRecord> SharedStatusFile::Record() const
{
    const std::lock_guard lock(m_lock);
    const StatusConfigStream* record = m_file ? m_file->GetRecord() : nullptr;
    return record ? std::optional(Copy(*record)) : std::nullopt;
}

std::optional<StatusRecord> SharedStatusFile::Reload(Caller caller)
{
    std::optional<storage::RetryLimit> limit;
    const auto lock = Lock(caller, limit);
    if (!lock.owns_lock() || !m_file)
    {
        return std::nullopt;
    }
    LimitRetries(caller);
    (void)m_file->Load(false, true);
    const StatusConfigStream* record = m_file->GetRecord();
    return record ? std::optional(Copy(*record)) : std::nullopt;
}

bool SharedStatusFile::Save(const Change& change, Caller caller)
{
    std::optional<storage::RetryLimit> limit;
    const auto lock = Lock(caller, limit);
    StatusConfigStream* record = lock.owns_lock() && m_file ? m_file->GetRecord() : nullptr;
    if (!record)
    {
        return false;
    }
    if (change.stampTime)
    {
        record->m_lastCheck = storage::DateTime::Now();
    }
    if (change.paviseStatus)
    {
        record->m_paviseStatus = *change.paviseStatus;
    }
    if (change.norvixStatus)
    {
        record->m_norvixStatus = *change.norvixStatus;
    }
    LimitRetries(caller);
    return m_file->Save(true);
}
