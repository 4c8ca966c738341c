#include "Core/SharedStatusFile.h"

#include "platform/BrowserUtilities.h"
#include "win/FailureReport.h"

#include <chrono>

namespace core
{

std::wstring SharedStatusFile::DefaultPath()
{
    return platform::GetWriteableFolder(L"KelToolbar", /*lowIntegrity=*/TRUE) + kFileName;
}

StatusRecord SharedStatusFile::Copy(const StatusConfigStream& stream) noexcept
{
    return {stream.m_paviseStatus, stream.m_norvixStatus, stream.m_lastCheck};
}

bool SharedStatusFile::IsCallersThread(Caller caller, const char* call) const noexcept
{
    return caller == Caller::Worker || m_uiThread.Check(__FILE__, __LINE__, call);
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

void SharedStatusFile::Loaded(bool taken)
{
    if (taken && m_file->GetRecord())
    {
        m_record = Copy(*m_file->GetRecord());
    }
}

void SharedStatusFile::Open(const std::wstring& path, Caller caller)
{
    if (!IsCallersThread(caller, "Open"))
    {
        return;
    }
    auto file = std::make_unique<StatusConfigFile>();
    file->Open(path);
    const std::lock_guard lock(m_lock);
    m_file = std::move(file);
    m_record = {};
    LimitRetries(caller);
    Loaded(m_file->Load(/*report=*/false, /*resetOnFailure=*/true));
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
    return m_file ? std::optional(m_record) : std::nullopt;
}

std::optional<StatusRecord> SharedStatusFile::Reload(Caller caller)
{
    if (!IsCallersThread(caller, "Reload"))
    {
        return std::nullopt;
    }
    std::optional<storage::RetryLimit> limit;
    const auto lock = Lock(caller, limit);
    if (!lock.owns_lock() || !m_file)
    {
        return std::nullopt;
    }
    LimitRetries(caller);
    Loaded(m_file->Load(/*report=*/false, /*resetOnFailure=*/true));
    return m_record;
}

bool SharedStatusFile::Save(const Change& change, Caller caller)
{
    if (!IsCallersThread(caller, "Save"))
    {
        return false;
    }
    std::optional<storage::RetryLimit> limit;
    const auto lock = Lock(caller, limit);
    StatusConfigStream* stored = lock.owns_lock() && m_file ? m_file->GetRecord() : nullptr;
    if (!stored)
    {
        return false;
    }
    LimitRetries(caller);
    // Another instance may have saved since this one last read: only the fields named here change.
    std::unique_ptr<storage::XCompoundStream> disk;
    std::wstring ignored;
    StatusRecord record = m_record;
    if (m_file->Read(disk, ignored) == storage::XStreamFile::Found::Record)
    {
        record = Copy(static_cast<const StatusConfigStream&>(*disk));
    }
    if (change.stampTime)
    {
        record.lastCheck = storage::DateTime::Now();
    }
    record.paviseStatus = change.paviseStatus.value_or(record.paviseStatus);
    record.norvixStatus = change.norvixStatus.value_or(record.norvixStatus);
    stored->m_paviseStatus = record.paviseStatus;
    stored->m_norvixStatus = record.norvixStatus;
    stored->m_lastCheck = record.lastCheck;
    // Held whether or not it reaches the disk: a file that cannot be written must not cost the stamp of a claim,
    // or every pass would poll.
    m_record = record;
    return m_file->Save(/*report=*/true);
}

}  // namespace core
