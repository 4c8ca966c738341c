#include "net/HttpExchange.h"

#include "win/DetachedThread.h"
#include "win/FailureReport.h"
#include "win/Handle.h"
#include "win/Strings.h"

#include <algorithm>
#include <functional>

namespace net
{

// One request and what it gave, shared by the caller and the request's thread: either may be the last to let go.
struct HttpExchange::Flight
{
    RequestBody body;
    HTTPOptionItemArray options;  // a copy: the caller's may be gone before the request ends
    bool hasOptions = false;
    win::KernelHandle answered{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // `result` and `response` final
    win::KernelHandle ended{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // the thread is done with the request
    BOOL result = FALSE;
    std::wstring response;
    // Closed when the caller stops waiting: it has reported the outcome, and the request's later failures are
    // nobody's concern.
    win::FailureGate reports;

    [[nodiscard]] const HTTPOptionItemArray* Options() const noexcept { return hasOptions ? &options : nullptr; }

    void Fly() noexcept
    {
        const win::FailureGateScope gate(reports);
        try
        {
            (void)body(Options(), response, [this](BOOL value) {
                result = value;
                ::SetEvent(answered.Get());
            });
        }
        catch (...)
        {
            (void)WIN_REPORT_CAUGHT("HTTP request");
            result = FALSE;
        }
        // The handles are closed by now, however long WinINet took to let go of an unread answer.
        ::SetEvent(answered.Get());
        ::SetEvent(ended.Get());
    }
};

namespace
{

// Waits for `event` until `end` (a GetTickCount64 time) or until `abandon` (may be null) is set; true when
// `event` came.
bool WaitUntil(HANDLE event, HANDLE abandon, ULONGLONG end) noexcept
{
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = end > now ? static_cast<DWORD>(std::min<ULONGLONG>(end - now, INFINITE - 1)) : 0;
    const HANDLE handles[] = {event, abandon};
    return ::WaitForMultipleObjects(abandon ? 2 : 1, handles, FALSE, left) == WAIT_OBJECT_0;
}

bool IsSet(HANDLE event) noexcept
{
    return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace

BOOL HttpExchange::Get(DWORD deadlineMs, HANDLE abandon, const std::wstring& url, const std::wstring& userAgent,
    BOOL dontCache, const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response)
{
    return Start(deadlineMs, abandon, options, response,
        [url, userAgent, dontCache, readResponse, reach = m_reach](
            const HTTPOptionItemArray* copied, std::wstring& answer, const XHttpAccess::Answered& answered) {
            return XHttpAccess::Get(url, userAgent, dontCache, copied, readResponse, answer, answered, reach);
        });
}

BOOL HttpExchange::Post(DWORD deadlineMs, HANDLE abandon, const std::wstring& url, const std::wstring& userAgent,
    const std::wstring& headers, const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse,
    std::wstring& response)
{
    return Start(deadlineMs, abandon, options, response,
        [url, userAgent, headers, data, readResponse](
            const HTTPOptionItemArray* copied, std::wstring& answer, const XHttpAccess::Answered& answered) {
            return XHttpAccess::Post(url, userAgent, headers, data, copied, readResponse, answer, answered);
        });
}

BOOL HttpExchange::Start(
    DWORD deadlineMs, HANDLE abandon, const HTTPOptionItemArray* options, std::wstring& response, RequestBody body)
{
    try
    {
        auto flight = std::make_shared<Flight>();
        flight->body = std::move(body);
        if (options)
        {
            flight->options.CopyFrom(*options);
            flight->hasOptions = true;
        }
        return Run(deadlineMs, abandon, flight, response);
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("HttpExchange request");
        return FALSE;
    }
}

bool HttpExchange::IsBusy() const
{
    const std::lock_guard lock(m_lock);
    return m_last && !IsSet(m_last->ended.Get());
}

BOOL HttpExchange::Run(DWORD deadlineMs, HANDLE abandon, const std::shared_ptr<Flight>& flight, std::wstring& response)
{
    const ULONGLONG end = ::GetTickCount64() + deadlineMs;
    if (WIN_LOG_LAST_ERROR_IF(!flight->answered || !flight->ended))
    {
        return FALSE;
    }
    if (!TakeTurn(flight, end, abandon))
    {
        // A caller that is shutting down gave up by itself; anything else is the last request still running.
        if (!abandon || !IsSet(abandon))
        {
            WIN_REPORT_FAILURE("TakeTurn(flight, end, abandon)", HRESULT_FROM_WIN32(ERROR_BUSY),
                m_whenBusy == WhenBusy::Drop ? L"dropped: the last request still runs"
                                             : L"the last request still ran at the deadline");
        }
        return FALSE;
    }
    if (WIN_LOG_LAST_ERROR_IF(!win::StartDetachedThread([flight] { flight->Fly(); })))
    {
        ::SetEvent(flight->ended.Get());  // never flew: the next request need not wait for it
        return FALSE;
    }
    const bool answered = WaitUntil(flight->answered.Get(), abandon, end);
    // From here on the request's thread may run on without its caller.
    LeaveBehind(flight);
    if (!answered)
    {
        flight->reports.Close();
        if (!abandon || !IsSet(abandon))
        {
            WIN_REPORT_FAILURE("WaitUntil(flight->answered.Get(), abandon, end)", HRESULT_FROM_WIN32(ERROR_TIMEOUT),
                win::Format(L"no answer within %lu ms: left to end by itself", deadlineMs));
        }
        return FALSE;
    }
    response += flight->response;
    return flight->result;
}

bool HttpExchange::TakeTurn(const std::shared_ptr<Flight>& flight, ULONGLONG end, HANDLE abandon)
{
    for (;;)
    {
        std::shared_ptr<Flight> blocking;
        {
            const std::lock_guard lock(m_lock);
            blocking = Blocking();
            if (!blocking)
            {
                m_last = flight;
                return true;
            }
            if (m_whenBusy == WhenBusy::Drop)
            {
                return false;
            }
        }
        if (!WaitUntil(blocking->ended.Get(), abandon, end))
        {
            return false;
        }
    }
}

std::shared_ptr<HttpExchange::Flight> HttpExchange::Blocking() const
{
    if (m_last && !IsSet(m_last->ended.Get()))
    {
        return m_last;
    }
    if (!m_group)
    {
        return nullptr;
    }
    const std::lock_guard lock(m_group->m_lock);
    std::erase_if(m_group->m_running, [](const auto& running) { return IsSet(running->ended.Get()); });
    return m_group->m_running.empty() ? nullptr : m_group->m_running.front();
}

void HttpExchange::LeaveBehind(const std::shared_ptr<Flight>& flight)
{
    if (!m_group || IsSet(flight->ended.Get()))
    {
        return;
    }
    const std::lock_guard lock(m_group->m_lock);
    m_group->m_running.push_back(flight);
}

}  // namespace net
