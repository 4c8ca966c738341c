#pragma once
// HttpExchange: the HTTP requests of one caller (a control's service client, or the click tracking of the
// whole process), each bounded by the clock. A request runs on a thread of its own; the caller waits for its
// result at most until the deadline, or until the event it hands in is set (it is shutting down), and then goes
// on as if the request had failed. WinINet alone cannot promise that: it bounds a request only read by read (a
// service that drips its headers a byte at a time is never timed out) and, under Wine, not at all while a
// connect goes unanswered (minutes).
//
// An abandoned request, and the closing of an answer that was not read to its end (WinINet reads the rest first,
// for as long as the service keeps sending), go on by themselves on that thread, which keeps what it uses and
// the module alive. At most one request of an HttpExchange is in flight: while the last one's thread still runs,
// a new request waits for it within its own deadline (or, when the exchange drops requests, is refused at once)
// and fails when it is still running then. A service that never lets go thus costs each caller one thread and
// nothing more. Exchanges that come and go (a control per browser tab, each with its own) share a LeftBehind:
// while a request that one of them left running still runs, no request of any of them starts, so the whole group
// costs one thread, however many tabs open and close.
//
// A request that was not answered in time, and one refused because the last still runs, are reported
// (win::FailureReport); a request abandoned through the event is not, as its caller chose to stop. Once its
// caller has stopped waiting, the request's own thread reports nothing more.
//
// Any thread may call; the object may go while a request's thread still runs.

#include "net/HTTPOptionItemArray.h"
#include "net/XHttpAccess.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace net
{

class HttpExchange
{
    struct Flight;

public:
    // What a request does while the last one still runs.
    enum class WhenBusy
    {
        Wait,  // waits for it, within its own deadline
        Drop,  // fails at once
    };

    // The requests that the exchanges of one group left running behind their callers (abandoned, or closing an
    // answer that was not read to its end). A request of the group starts only once all of them have ended; it
    // waits for them as for its own exchange's last one. Two requests of the group that were under way together
    // when their callers let go may both run on; no third starts meanwhile. It must outlive the exchanges.
    class LeftBehind
    {
    public:
        LeftBehind() = default;
        LeftBehind(const LeftBehind&) = delete;
        LeftBehind& operator=(const LeftBehind&) = delete;

    private:
        friend class HttpExchange;
        std::mutex m_lock;
        std::vector<std::shared_ptr<Flight>> m_running;
    };

    // A GET goes as far as `reach` lets it. With `group`, a request waits also for what the group left behind.
    explicit HttpExchange(WhenBusy whenBusy = WhenBusy::Wait, XHttpAccess::Reach reach = XHttpAccess::Reach::Origin,
        LeftBehind* group = nullptr) noexcept
        : m_whenBusy(whenBusy), m_reach(reach), m_group(group)
    {
    }
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;
    ~HttpExchange() = default;

    // XHttpAccess::Get and Post, ended for the caller within `deadlineMs` or as soon as `abandon` (an event, may
    // be null) is set: later they give FALSE and leave `response` as it was.
    [[nodiscard]] BOOL Get(DWORD deadlineMs, HANDLE abandon, const std::wstring& url, const std::wstring& userAgent,
        BOOL dontCache, const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response);
    [[nodiscard]] BOOL Post(DWORD deadlineMs, HANDLE abandon, const std::wstring& url, const std::wstring& userAgent,
        const std::wstring& headers, const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse,
        std::wstring& response);

    // Whether the thread of the last request still runs (its caller may have its answer already).
    [[nodiscard]] bool IsBusy() const;

private:
    // The request itself, run on the request's thread with the options the flight copied.
    using RequestBody =
        std::function<BOOL(const HTTPOptionItemArray* options, std::wstring& response, const XHttpAccess::Answered&)>;

    // Copies `options` (the caller's may be gone before the request ends) and runs `body` as one flight.
    [[nodiscard]] BOOL Start(
        DWORD deadlineMs, HANDLE abandon, const HTTPOptionItemArray* options, std::wstring& response, RequestBody body);

    [[nodiscard]] BOOL Run(
        DWORD deadlineMs, HANDLE abandon, const std::shared_ptr<Flight>& flight, std::wstring& response);
    // Makes `flight` the one in flight once the last one, and all that the group left behind, have ended; false
    // when that did not come in time.
    [[nodiscard]] bool TakeTurn(const std::shared_ptr<Flight>& flight, ULONGLONG end, HANDLE abandon);
    // The request that must end before `flight` may start, or null.
    [[nodiscard]] std::shared_ptr<Flight> Blocking() const;
    // Counts `flight`, whose caller has let go, among the group's until it ends.
    void LeaveBehind(const std::shared_ptr<Flight>& flight);

    const WhenBusy m_whenBusy;
    const XHttpAccess::Reach m_reach;
    LeftBehind* const m_group;
    mutable std::mutex m_lock;
    std::shared_ptr<Flight> m_last;
};

}  // namespace net
