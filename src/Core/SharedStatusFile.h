#pragma once
// SharedStatusFile: the status file that every browser instance of the user shares ("Norvix.status.config"
// in the toolbar's writable folder), as one product control uses it. It owns the StatusConfigFile object and
// the lock that keeps the control's UI thread and its polling worker off that object at the same time;
// every load and save, and every read of the record, holds it.
//
// The record it gives is the file's as last read, with this process's saves since: a save writes the fields it
// changes into the record as it is on disk at that moment, so that it never puts back what another instance
// saved meanwhile. A file that cannot be read (held past the retries, damaged, too long, of another system
// language) or saved changes nothing the control shows and forgets no stamp: the record is then the one the
// control last read or saved, whether or not the save reached the disk.
//
// A load or save on the UI thread gives up after a short while in all (storage::kUiThreadRetryLimitMs), whether
// another process holds the file or this control's worker holds the lock through its own longer retries, so
// the window keeps answering; the worker waits as long as the storage layer allows. The UI thread is the one that
// made the object: a call as Caller::UiThread from another thread is a broken rule (win::ThreadAffinity) and is
// refused (nothing opened, no record, false); the worker's calls may come from any thread. Failures are not shown to
// the user. They are reported for diagnosis (win::FailureReport) by the storage layer, the first of a run, and
// here when the UI thread gives up on the lock.

#include "Core/StatusConfigFile.h"
#include "storage/SharingRetry.h"
#include "win/ThreadAffinity.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace core
{

// What the record holds.
struct StatusRecord
{
    std::int32_t paviseStatus = 0;
    std::int32_t norvixStatus = 0;
    storage::DateTime lastCheck;
};

class SharedStatusFile
{
public:
    enum class Caller
    {
        UiThread,  // waits at most storage::kUiThreadRetryLimitMs for a file another process holds
        Worker,  // waits as long as the storage layer allows
    };
    // The file's name inside the toolbar's writable folder.
    static constexpr wchar_t kFileName[] = L"Norvix.status.config";

    // The file's place: the toolbar's writable folder (low-integrity form) and the name.
    [[nodiscard]] static std::wstring DefaultPath();

    // Opens the file at `path` and loads it; a missing file is created with the defaults.
    void Open(const std::wstring& path, Caller caller);
    // Forgets the file without saving.
    void Close() noexcept;
    [[nodiscard]] bool IsOpen() const;

    // The record as held in memory; nothing when the file is not open.
    [[nodiscard]] std::optional<StatusRecord> Record() const;
    // Loads the file again and gives the record as it is now on disk (or, when the file cannot be read, the one
    // held); nothing when the file is not open, or when the UI thread's time ran out first.
    [[nodiscard]] std::optional<StatusRecord> Reload(Caller caller);

    // The fields a save changes; the others keep the record's values.
    struct Change
    {
        bool stampTime = false;
        std::optional<std::int32_t> paviseStatus;
        std::optional<std::int32_t> norvixStatus;
    };
    // Applies `change` to the record as it is on disk (the one held when the file cannot be read) and saves
    // it; the record held is the changed one even when the save fails. False when the file is not open, the save
    // failed or the UI thread's time ran out first (then the record is unchanged).
    bool Save(const Change& change, Caller caller);

private:
    // The lock for a load or save of `caller`, taken within the caller's time: the UI thread's share of it that
    // is left goes to the file's own retries (`limit`, in force until the operation ends). Not owned when the
    // time ran out.
    [[nodiscard]] std::unique_lock<std::timed_mutex> Lock(Caller caller, std::optional<storage::RetryLimit>& limit);
    [[nodiscard]] static StatusRecord Copy(const StatusConfigStream& stream) noexcept;
    // True for the worker and for the UI thread's calls on that thread; otherwise reports `call` as a broken rule.
    [[nodiscard]] bool IsCallersThread(Caller caller, const char* call) const noexcept;
    void LimitRetries(Caller caller) noexcept;
    // After a load: the file's record when it was taken; else the one held stays. Under m_lock.
    void Loaded(bool taken);

    win::ThreadAffinity m_uiThread;
    mutable std::timed_mutex m_lock;
    std::unique_ptr<StatusConfigFile> m_file;
    StatusRecord m_record;
};

}  // namespace core
