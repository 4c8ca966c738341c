#pragma once
// SharedStatusFile: the status file that every browser instance of the user shares ("Norvix.status.config"
// in the toolbar's writable folder), as one product control uses it. It owns the StatusConfigFile object and
// the lock that keeps the control's UI thread and its polling worker off that object at the same time;
// every load and save, and every read of the record, holds it.
//
// A load or save on the UI thread gives up after a short while in all (storage::kUiThreadRetryLimitMs), whether
// another process holds the file or this control's worker holds the lock through its own longer retries, so
// the window keeps answering; the worker waits as long as the storage layer allows. Failures are not shown to
// the user: the record keeps what it held, or the defaults after a damaged file. They are reported for
// diagnosis (win::FailureReport) by the storage layer, and here when the UI thread gives up on the lock.

#include "Core/StatusConfigFile.h"
#include "storage/SharingRetry.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

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
    // Loads the file again and gives the record as it is now on disk (or what the object keeps when the file
    // cannot be read); nothing when the file is not open, or when the UI thread's time ran out first.
    [[nodiscard]] std::optional<StatusRecord> Reload(Caller caller);

    // The fields a save changes; the others keep the record's values.
    struct Change
    {
        bool stampTime = false;
        std::optional<std::int32_t> paviseStatus;
        std::optional<std::int32_t> norvixStatus;
    };
    // Applies `change` to the record and saves it. False when the file is not open, the save failed or the UI
    // thread's time ran out first (then the record is unchanged).
    bool Save(const Change& change, Caller caller);

private:
    // The lock for a load or save of `caller`, taken within the caller's time: the UI thread's share of it that
    // is left goes to the file's own retries (`limit`, in force until the operation ends). Not owned when the
    // time ran out.
    [[nodiscard]] std::unique_lock<std::timed_mutex> Lock(Caller caller, std::optional<storage::RetryLimit>& limit);
    [[nodiscard]] static StatusRecord Copy(const StatusConfigStream& stream) noexcept;
    void LimitRetries(Caller caller) noexcept;

    mutable std::timed_mutex m_lock;
    std::unique_ptr<StatusConfigFile> m_file;
};
