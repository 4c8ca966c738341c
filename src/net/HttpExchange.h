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
// nothing more.
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

namespace net
{

class HttpExchange
{
public:
    // What a request does while the last one still runs.
    enum class WhenBusy
    {
        Wait,  // waits for it, within its own deadline
        Drop,  // fails at once
    };

    explicit HttpExchange(WhenBusy whenBusy = WhenBusy::Wait) noexcept : m_whenBusy(whenBusy) {}
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
    struct Flight;
    // The request itself, run on the request's thread with the options the flight copied.
    using RequestBody =
        std::function<BOOL(const HTTPOptionItemArray* options, std::wstring& response, const XHttpAccess::Answered&)>;

    // Copies `options` (the caller's may be gone before the request ends) and runs `body` as one flight.
    [[nodiscard]] BOOL Start(
        DWORD deadlineMs, HANDLE abandon, const HTTPOptionItemArray* options, std::wstring& response, RequestBody body);

    [[nodiscard]] BOOL Run(
        DWORD deadlineMs, HANDLE abandon, const std::shared_ptr<Flight>& flight, std::wstring& response);
    // Makes `flight` the one in flight once the last one has ended; false when that did not come in time.
    [[nodiscard]] bool TakeTurn(const std::shared_ptr<Flight>& flight, ULONGLONG end, HANDLE abandon);

    const WhenBusy m_whenBusy;
    mutable std::mutex m_lock;
    std::shared_ptr<Flight> m_last;
};

}  // namespace net
