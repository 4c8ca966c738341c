#pragma once
// APIDispatcher: the client of the product's local HTTP service. QueryStatus asks "GetStatus" and turns the
// XML answer into the two status codes; RequestUpdate posts "DoUpdate". Every URL, command, element name and
// code text is a host setting looked up at each request through the owner (HostStrings); the time-out is
// read once, by Initialize.
//
// The product control owns one by value. Requests run on its polling worker; the status getters,
// SetStatuses and SetUpdating run on the UI thread. The codes and the changed flag are single atomic words,
// so each side reads whatever the other last wrote whole; a query also hands back the pair it answered, which
// the UI thread cannot have replaced meanwhile. Requests need an owner: without one (before Initialize, after
// Reset) they fail.
//
// Each request ends for its caller within the time-out setting plus kDeadlineMarginMs, whatever the service
// does (HttpExchange): connecting, redirections, headers and body all share that time. Both stay on the origin of
// the service's address (a redirection elsewhere is a failed request) and carry no logon or cookies. While a
// request that a client of this process stopped waiting for still runs (its tab closed, or its deadline passed,
// while the service held it), no client's request starts: it waits within its deadline and then fails.

#include "net/HTTPOptionItemArray.h"
#include "net/HttpExchange.h"
#include "net/ProductStatus.h"
#include "net/XXMLNodeArray.h"
#include "net/XXMLParser.h"
#include "platform/HostStrings.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

namespace net
{

class APIDispatcher
{
public:
    // The user agent of both requests.
    static constexpr const wchar_t* kUserAgent = L"Norvix Toolbar for Internet Explorer";
    // The time-out used when the setting holds no positive number of seconds.
    static constexpr DWORD kDefaultTimeoutMs = 3000;
    // What a request may take beyond the time-out before its caller stops waiting for it.
    static constexpr DWORD kDeadlineMarginMs = 500;

    // What one status query answered.
    struct Answer
    {
        PaviseStatus pavise = PaviseStatus::Default;
        NorvixStatus norvix = NorvixStatus::Default;
        bool changed = true;  // as HasChanged
    };

    APIDispatcher();
    APIDispatcher(const APIDispatcher&) = delete;
    APIDispatcher& operator=(const APIDispatcher&) = delete;
    virtual ~APIDispatcher() = default;

    // Takes the owner for setting lookups, sets both statuses to Default and the changed flag, and reads the
    // time-out. Always true.
    BOOL Initialize(platform::HostStrings* owner);
    // Forgets the owner and the time-out options; the statuses stay.
    void Reset() noexcept;

    // Asks the service for its status. True when an answer was interpreted; otherwise both statuses are
    // ConnectionFailure (the request failed, the deadline passed or `abandon` was set) or Error (the answer was
    // unusable). The settings come from the owner, or from `settings` (a thread that may not call the owner
    // hands in what it looked up before); `answer` receives the outcome. A failed query is reported
    // (win::FailureReport) with its cause where it happened and its outcome here, as is an answer with a code
    // this add-on does not know; a query abandoned through `abandon` is not. The answer is read with MSXML in the
    // calling thread's COM apartment, which it must have entered.
    BOOL QueryStatus();
    BOOL QueryStatus(platform::HostStrings& settings, HANDLE abandon, Answer& answer);
    // Tells the service to update itself, within the same time-outs as the query. True when the request was
    // sent and answered; the statuses do not change.
    BOOL RequestUpdate();
    BOOL RequestUpdate(platform::HostStrings& settings, HANDLE abandon);

    // The settings a status query looks up, and those of the update request, with their defaults.
    [[nodiscard]] static std::span<const platform::Setting> QuerySettings() noexcept;
    [[nodiscard]] static std::span<const platform::Setting> UpdateSettings() noexcept;

    [[nodiscard]] PaviseStatus GetPaviseStatus() const noexcept
    {
        return static_cast<PaviseStatus>(m_paviseStatus.load());
    }
    [[nodiscard]] NorvixStatus GetNorvixStatus() const noexcept
    {
        return static_cast<NorvixStatus>(m_norvixStatus.load());
    }
    // Stores both (codes read back from the status file); with either out of range stores nothing, gives false.
    BOOL SetStatuses(PaviseStatus pavise, NorvixStatus norvix) noexcept;
    [[nodiscard]] BOOL IsUpdateNeeded() const noexcept { return GetNorvixStatus() == NorvixStatus::Update; }
    void SetUpdating() noexcept { m_norvixStatus = static_cast<std::int32_t>(NorvixStatus::Updating); }
    // Whether the last query changed a status.
    [[nodiscard]] BOOL HasChanged() const noexcept { return m_changed.load() != 0; }

    // Interprets an answer of `command` (the looked-up status command). False when the answer is unusable.
    BOOL ParseAnswer(const std::wstring& command, const std::wstring& answer);

    // The time-out options of both requests (connect, receive, data receive; milliseconds each).
    [[nodiscard]] const HTTPOptionItemArray& TimeoutOptions() const noexcept { return m_options; }
    // How long a request may take for its caller in all.
    [[nodiscard]] DWORD DeadlineMs() const noexcept { return m_timeoutMs + kDeadlineMarginMs; }

private:
    BOOL QueryStatus(platform::HostStrings* settings, HANDLE abandon, Answer& answer);
    BOOL RequestUpdate(platform::HostStrings* settings, HANDLE abandon);
    void ConfigureTimeouts();
    void PrepareNodes(platform::HostStrings* settings);
    [[nodiscard]] std::wstring Lookup(const wchar_t* key, const wchar_t* defaultValue) const;
    [[nodiscard]] static std::wstring Lookup(
        platform::HostStrings* settings, const wchar_t* key, const wchar_t* defaultValue);
    [[nodiscard]] static NorvixStatus ToNorvixStatus(platform::HostStrings* settings, const std::wstring& code);
    [[nodiscard]] static PaviseStatus ToPaviseStatus(platform::HostStrings* settings, const std::wstring& code);
    void SetBoth(std::int32_t value) noexcept;
    // ParseAnswer measured against the given previous codes.
    BOOL Interpret(platform::HostStrings* settings, const std::wstring& command, const std::wstring& answer,
        PaviseStatus previousPavise, NorvixStatus previousNorvix, Answer* outcome);

    platform::HostStrings* m_owner = nullptr;
    std::atomic<std::int32_t> m_paviseStatus{static_cast<std::int32_t>(PaviseStatus::Default)};
    std::atomic<std::int32_t> m_norvixStatus{static_cast<std::int32_t>(NorvixStatus::Default)};
    XXMLParser m_parser;  // holds a document only while an answer is interpreted
    XXMLNodeArray m_nodes;
    std::atomic<std::int32_t> m_changed{1};
    HTTPOptionItemArray m_options;
    DWORD m_timeoutMs = kDefaultTimeoutMs;
    // Both requests, on the service's origin: at most one of them in flight, none while a request that any control
    // of the process left running still runs.
    HttpExchange m_exchange;
};

}  // namespace net
