#include "net/XHttpAccess.h"

#include "win/FailureReport.h"
#include "win/InternetHandle.h"
#include "win/Strings.h"

#include <algorithm>
#include <array>
#include <vector>

namespace net
{

namespace
{

constexpr DWORD kUrlPartChars = 4096;
// Longest Location, and longest URL made from it, that a redirection may lead to.
constexpr DWORD kRedirectUrlChars = 8192;

// Flags of the GET: raw data, reuse of an existing connection, and no cache write when asked.
constexpr DWORD kGetFlags = INTERNET_FLAG_RAW_DATA | INTERNET_FLAG_EXISTING_CONNECT;
// What a request that stays on its origin leaves out: the user's logon, whatever cookies the platform holds for
// that address (another program may have been given them there), and any dialog.
constexpr DWORD kOriginOnlyFlags = INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
// Flags of the POST: always to the server, never redirected, never authenticated, no cookies, never any UI.
constexpr DWORD kPostFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT |
    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | kOriginOnlyFlags;
static_assert(kPostFlags == 0x806CC200);

// The four parts of a dotted-decimal IPv4 address. A part with a leading zero is refused: the platform's
// resolvers read it as octal.
[[nodiscard]] bool ParseIpv4(std::wstring_view text, std::array<unsigned, 4>& parts) noexcept
{
    for (std::size_t i = 0; i < parts.size(); ++i)
    {
        const std::size_t dot = i + 1 < parts.size() ? text.find(L'.') : text.size();
        const std::wstring_view part = text.substr(0, dot);
        if (dot == std::wstring_view::npos || part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == L'0'))
        {
            return false;
        }
        parts[i] = 0;
        for (const wchar_t c : part)
        {
            if (c < L'0' || c > L'9')
            {
                return false;
            }
            parts[i] = parts[i] * 10 + static_cast<unsigned>(c - L'0');
        }
        if (parts[i] > 255)
        {
            return false;
        }
        text.remove_prefix(std::min(text.size(), dot + 1));
    }
    return true;
}

// Whether the groups of one side of an IPv6 address may end in an IPv4 address (only the side after "::" may).
enum class Ipv4Tail
{
    Refused,
    Allowed,
};

// Appends the colon-separated groups of `text` (an IPv6 address on one side of its "::"); with Ipv4Tail::Allowed
// the last may be an IPv4 address, giving two groups.
[[nodiscard]] bool ParseIpv6Groups(std::wstring_view text, Ipv4Tail ipv4Tail, std::vector<unsigned>& groups)
{
    while (!text.empty())
    {
        const std::size_t colon = text.find(L':');
        const std::wstring_view group = text.substr(0, colon);
        std::array<unsigned, 4> ipv4{};
        if (colon == std::wstring_view::npos && ipv4Tail == Ipv4Tail::Allowed && ParseIpv4(group, ipv4))
        {
            groups.push_back(ipv4[0] << 8 | ipv4[1]);
            groups.push_back(ipv4[2] << 8 | ipv4[3]);
            return true;
        }
        if (group.empty() || group.size() > 4 || colon == text.size() - 1)
        {
            return false;
        }
        unsigned value = 0;
        for (const wchar_t c : group)
        {
            const int digit = c >= L'0' && c <= L'9' ? c - L'0'
                : c >= L'a' && c <= L'f'             ? c - L'a' + 10
                : c >= L'A' && c <= L'F'             ? c - L'A' + 10
                                                     : -1;
            if (digit < 0)
            {
                return false;
            }
            value = value << 4 | static_cast<unsigned>(digit);
        }
        groups.push_back(value);
        text.remove_prefix(colon == std::wstring_view::npos ? text.size() : colon + 1);
    }
    return true;
}

// The eight groups of an IPv6 address, "::" and a final IPv4 part allowed.
[[nodiscard]] bool ParseIpv6(std::wstring_view text, std::array<unsigned, 8>& address)
{
    const std::size_t gap = text.find(L"::");
    std::vector<unsigned> head;
    std::vector<unsigned> tail;
    if (gap == std::wstring_view::npos)
    {
        if (!ParseIpv6Groups(text, Ipv4Tail::Allowed, head) || head.size() != address.size())
        {
            return false;
        }
    }
    else if (text.find(L"::", gap + 1) != std::wstring_view::npos ||
        !ParseIpv6Groups(text.substr(0, gap), Ipv4Tail::Refused, head) ||
        !ParseIpv6Groups(text.substr(gap + 2), Ipv4Tail::Allowed, tail) || head.size() + tail.size() >= address.size())
    {
        return false;
    }
    address.fill(0);
    std::copy(head.begin(), head.end(), address.begin());
    std::copy(tail.begin(), tail.end(), address.end() - static_cast<std::ptrdiff_t>(tail.size()));
    return true;
}

[[nodiscard]] bool IsTimeout(DWORD option) noexcept
{
    switch (option)
    {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT: return true;
    default: return false;
    }
}

[[nodiscard]] bool ReadDword(const HTTPOptionItem& item, DWORD& value) noexcept
{
    if (item.Length() != sizeof(DWORD))
    {
        return false;
    }
    value = *static_cast<const DWORD*>(item.Value());
    return true;
}

// The time by which a whole request must have ended: its longest time-out, the time the caller allows one
// exchange, whatever it is spent on (connecting, sending, waiting for the answer, reading the body). Redirections
// share it. Without time-out options there is none, as the platform's defaults bound nothing either.
class Deadline
{
public:
    explicit Deadline(const HTTPOptionItemArray* options) noexcept
    {
        ULONGLONG budget = 0;
        for (int i = 0; options && i < options->GetCount(); ++i)
        {
            const HTTPOptionItem* item = options->GetAt(i);
            DWORD value = 0;
            if (item && IsTimeout(item->Option()) && ReadDword(*item, value))
            {
                budget = std::max<ULONGLONG>(budget, value);
            }
        }
        m_end = budget > 0 ? ::GetTickCount64() + budget : 0;
    }

    [[nodiscard]] bool Passed() const noexcept { return m_end != 0 && ::GetTickCount64() >= m_end; }

    // A time-out cut to the time left, so that no single call outlasts the whole; never 0, which WinINet reads
    // as "no time-out".
    [[nodiscard]] DWORD Clamp(DWORD timeoutMs) const noexcept
    {
        if (m_end == 0)
        {
            return timeoutMs;
        }
        const ULONGLONG now = ::GetTickCount64();
        const ULONGLONG left = m_end > now ? m_end - now : 1;
        return static_cast<DWORD>(std::min<ULONGLONG>(timeoutMs, left));
    }

private:
    ULONGLONG m_end = 0;
};

void ApplyOptions(HINTERNET handle, const HTTPOptionItemArray* options, const Deadline& deadline)
{
    for (int i = 0; options && i < options->GetCount(); ++i)
    {
        const HTTPOptionItem* item = options->GetAt(i);
        if (!item)
        {
            continue;
        }
        // A handle that does not take an option keeps its default; the others still apply.
        DWORD value = 0;
        if (IsTimeout(item->Option()) && ReadDword(*item, value) && value != 0)
        {
            value = deadline.Clamp(value);
            (void)::InternetSetOptionW(handle, item->Option(), &value, sizeof(value));
        }
        else
        {
            (void)::InternetSetOptionW(handle, item->Option(), const_cast<void*>(item->Value()), item->Length());
        }
    }
}

// The handles of one request, closed children first. Closing a request whose answer was not read to its end is
// not quick: WinINet first reads the rest of the answer (to decide whether the connection can serve again; Wine
// does so even when it cannot), for as long as more has arrived, which a server that keeps sending makes for ever.
class Handles
{
public:
    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles()
    {
        for (auto it = m_handles.rbegin(); it != m_handles.rend(); ++it)
        {
            it->Reset();
        }
    }

    // Takes `handle` (none when null) and gives it back for use.
    HINTERNET Keep(HINTERNET handle)
    {
        if (handle)
        {
            m_handles.emplace_back(handle);
        }
        return handle;
    }

private:
    std::vector<win::InternetHandle> m_handles;
};

[[nodiscard]] HINTERNET OpenSession(Handles& handles, const std::wstring& host, const std::wstring& userAgent,
    const HTTPOptionItemArray* options, const Deadline& deadline)
{
    DWORD state = 0;
    if (!XHttpAccess::IsLoopbackHost(host) && !::InternetGetConnectedState(&state, 0))
    {
        WIN_REPORT_FAILURE("::InternetGetConnectedState(&state, 0)", HRESULT_FROM_WIN32(ERROR_INTERNET_DISCONNECTED),
            L"the system is offline");
        return nullptr;
    }
    const HINTERNET session =
        handles.Keep(::InternetOpenW(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (WIN_LOG_LAST_ERROR_IF(!session))
    {
        return nullptr;
    }
    ApplyOptions(session, options, deadline);
    return session;
}

[[nodiscard]] DWORD QueryStatusCode(HINTERNET request)
{
    DWORD status = 200;  // a server that gives no readable status counts as 200
    DWORD size = sizeof(status);
    (void)::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    return status;
}

// Reads the body and appends it as text. A read failure keeps what arrived; an oversized body, or one still
// arriving at the deadline, leaves `response` as it was.
void ReadBody(HINTERNET request, const Deadline& deadline, std::wstring& response)
{
    std::string body;
    std::array<char, XHttpAccess::kReadChunkBytes + 1> buffer{};
    for (;;)
    {
        // A synchronous read waits until its whole buffer is filled; asking first what has arrived lets the loop
        // look at the clock between the pieces of a body that trickles in.
        DWORD available = 0;
        DWORD read = 0;
        if (WIN_LOG_LAST_ERROR_IF(!::InternetQueryDataAvailable(request, &available, 0, 0) ||
                (available > 0 &&
                    !::InternetReadFile(
                        request, buffer.data(), std::min(available, XHttpAccess::kReadChunkBytes), &read))))
        {
            break;
        }
        if (read == 0)
        {
            break;
        }
        if (body.size() + read > XHttpAccess::kMaxBodyBytes)
        {
            WIN_REPORT_FAILURE("body", HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE),
                win::Format(L"more than %u bytes: not read", static_cast<unsigned>(XHttpAccess::kMaxBodyBytes)));
            return;
        }
        if (deadline.Passed())
        {
            WIN_REPORT_FAILURE("body", HRESULT_FROM_WIN32(ERROR_TIMEOUT),
                win::Format(
                    L"still arriving at the deadline after %u bytes: not read", static_cast<unsigned>(body.size())));
            return;
        }
        body.append(buffer.data(), read);
    }
    response += XHttpAccess::DecodeBody(body, CP_THREAD_ACP);
}

// The status must lie in [lowest, highest]; then the body is read. With `readResponse` 0 neither is looked at.
[[nodiscard]] BOOL TakeAnswer(
    HINTERNET request, DWORD lowest, DWORD highest, BOOL readResponse, const Deadline& deadline, std::wstring& response)
{
    if (readResponse != 1)
    {
        return TRUE;
    }
    const DWORD status = QueryStatusCode(request);
    if (status < lowest || status > highest)
    {
        WIN_REPORT_FAILURE(
            "QueryStatusCode(request)", S_OK, win::Format(L"HTTP status %lu, not %lu-%lu", status, lowest, highest));
        return FALSE;
    }
    ReadBody(request, deadline, response);
    return TRUE;
}

[[nodiscard]] bool IsHttp(INTERNET_SCHEME scheme) noexcept
{
    return scheme == INTERNET_SCHEME_HTTP || scheme == INTERNET_SCHEME_HTTPS;
}

// Opens `url` (http or https) on the session and sends the GET; the request, or null.
[[nodiscard]] HINTERNET SendGet(Handles& handles, HINTERNET session, const std::wstring& url, DWORD flags,
    const HTTPOptionItemArray* options, const Deadline& deadline)
{
    XHttpAccess::UrlParts target;
    if (deadline.Passed())
    {
        WIN_REPORT_FAILURE("deadline.Passed()", HRESULT_FROM_WIN32(ERROR_TIMEOUT), L"no time left for " + url);
        return nullptr;
    }
    if (!XHttpAccess::SplitUrl(url, 0, XHttpAccess::UrlQuery::Apart, target) || !IsHttp(target.scheme))
    {
        WIN_REPORT_FAILURE("SplitUrl", E_INVALIDARG, L"not an HTTP address: " + url);
        return nullptr;
    }
    // Opened in steps rather than with InternetOpenUrl, so that the time-outs can be set on the connection and
    // request handles before anything is sent.
    const HINTERNET connection = handles.Keep(
        ::InternetConnectW(session, target.host.c_str(), target.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (WIN_LOG_LAST_ERROR_IF(!connection))
    {
        return nullptr;
    }
    ApplyOptions(connection, options, deadline);
    if (target.scheme == INTERNET_SCHEME_HTTPS)
    {
        flags |= INTERNET_FLAG_SECURE;
    }
    // The fragment names a place in the page and never travels to the server.
    const std::wstring object =
        (target.path.empty() ? L"/" : target.path) + target.extra.substr(0, target.extra.find(L'#'));
    const HINTERNET request =
        handles.Keep(::HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (WIN_LOG_LAST_ERROR_IF(!request))
    {
        return nullptr;
    }
    ApplyOptions(request, options, deadline);
    if (!::HttpSendRequestW(request, nullptr, 0, nullptr, 0))
    {
        const DWORD error = ::GetLastError();
        WIN_REPORT_FAILURE(
            "::HttpSendRequestW(request, nullptr, 0, nullptr, 0)", HRESULT_FROM_WIN32(error), L"GET " + url);
        return nullptr;
    }
    return request;
}

// Where a redirection answer sends the client, resolved against the URL it answered; false when the answer is
// none.
[[nodiscard]] bool RedirectionTarget(HINTERNET request, const std::wstring& answered, std::wstring& target)
{
    switch (QueryStatusCode(request))
    {
    case HTTP_STATUS_MOVED:
    case HTTP_STATUS_REDIRECT:
    case HTTP_STATUS_REDIRECT_METHOD:
    case HTTP_STATUS_REDIRECT_KEEP_VERB:
    case HTTP_STATUS_PERMANENT_REDIRECT: break;
    default: return false;
    }
    std::vector<wchar_t> location(kRedirectUrlChars + 1);
    DWORD size = kRedirectUrlChars * sizeof(wchar_t);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr) || location[0] == L'\0')
    {
        return false;
    }
    std::vector<wchar_t> combined(kRedirectUrlChars + 1);
    DWORD length = kRedirectUrlChars;
    if (!::InternetCombineUrlW(answered.c_str(), location.data(), combined.data(), &length, 0))
    {
        return false;
    }
    target.assign(combined.data(), wcsnlen(combined.data(), kRedirectUrlChars));
    return true;
}

[[nodiscard]] bool IsSameOrigin(const XHttpAccess::UrlParts& one, const XHttpAccess::UrlParts& other)
{
    return one.scheme == other.scheme && one.port == other.port && win::EqualsNoCase(one.host, other.host);
}

// Sends the GET of `url` and of every redirection that follows, at most kMaxRedirections of them, each within
// the origin of `url` unless `reach` lets it go anywhere; the request of the final answer, or null.
[[nodiscard]] HINTERNET SendFollowingRedirections(Handles& handles, HINTERNET session, const std::wstring& url,
    DWORD flags, const HTTPOptionItemArray* options, const Deadline& deadline, XHttpAccess::Reach reach)
{
    // An address that does not split fails in SendGet before any redirection.
    XHttpAccess::UrlParts origin;
    (void)XHttpAccess::SplitUrl(url, 0, XHttpAccess::UrlQuery::InPath, origin);
    std::wstring current = url;
    for (int redirections = 0;; ++redirections)
    {
        const HINTERNET request =
            SendGet(handles, session, current, flags | INTERNET_FLAG_NO_AUTO_REDIRECT, options, deadline);
        std::wstring next;
        if (!request || !RedirectionTarget(request, current, next))
        {
            return request;
        }
        if (redirections == XHttpAccess::kMaxRedirections)
        {
            WIN_REPORT_FAILURE("redirections == XHttpAccess::kMaxRedirections",
                HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED),
                L"redirected again after " + std::to_wstring(redirections) + L" redirections, to " + next);
            return nullptr;
        }
        XHttpAccess::UrlParts target;
        if (reach == XHttpAccess::Reach::Origin &&
            (!XHttpAccess::SplitUrl(next, 0, XHttpAccess::UrlQuery::InPath, target) || !IsSameOrigin(origin, target)))
        {
            WIN_REPORT_FAILURE("IsSameOrigin(origin, target)", HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED),
                win::Format(L"redirected from the origin of %ls to %ls: not followed", url.c_str(), next.c_str()));
            return nullptr;
        }
        current = std::move(next);
    }
}

[[nodiscard]] BOOL GetWith(Handles& handles, const std::wstring& url, const std::wstring& userAgent, BOOL dontCache,
    const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response, XHttpAccess::Reach reach)
{
    XHttpAccess::UrlParts checked;
    if (!XHttpAccess::SplitUrl(url, ICU_DECODE, XHttpAccess::UrlQuery::InPath, checked))
    {
        WIN_REPORT_FAILURE("SplitUrl", E_INVALIDARG, L"not an address: " + url);
        return FALSE;
    }
    const Deadline deadline(options);
    const HINTERNET session = OpenSession(handles, checked.host, userAgent, options, deadline);
    if (!session)
    {
        return FALSE;
    }
    DWORD flags = kGetFlags;
    if (dontCache == 1)
    {
        flags |= INTERNET_FLAG_NO_CACHE_WRITE;
    }
    if (reach == XHttpAccess::Reach::Origin)
    {
        flags |= kOriginOnlyFlags;
    }
    const HINTERNET request = IsHttp(checked.scheme)
        ? SendFollowingRedirections(handles, session, url, flags, options, deadline, reach)
        : handles.Keep(::InternetOpenUrlW(session, url.c_str(), nullptr, 0, flags, 0));
    if (!request)
    {
        // The steps of an HTTP request have reported their failure; the platform's opening of another scheme not.
        if (!IsHttp(checked.scheme))
        {
            (void)WIN_LOG_LAST_ERROR_IF(!request);
        }
        return FALSE;
    }
    return TakeAnswer(request, HTTP_STATUS_OK, HTTP_STATUS_OK, readResponse, deadline, response);
}

[[nodiscard]] BOOL PostWith(Handles& handles, const std::wstring& url, const std::wstring& userAgent,
    const std::wstring& headers, const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse,
    std::wstring& response)
{
    XHttpAccess::UrlParts target;
    if (!XHttpAccess::SplitUrl(url, ICU_DECODE, XHttpAccess::UrlQuery::InPath, target))
    {
        WIN_REPORT_FAILURE("SplitUrl", E_INVALIDARG, L"not an address: " + url);
        return FALSE;
    }
    const Deadline deadline(options);
    const HINTERNET session = OpenSession(handles, target.host, userAgent, options, deadline);
    if (!session)
    {
        return FALSE;
    }
    const HINTERNET connection = handles.Keep(
        ::InternetConnectW(session, target.host.c_str(), target.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (WIN_LOG_LAST_ERROR_IF(!connection))
    {
        return FALSE;
    }
    ApplyOptions(connection, options, deadline);
    const HINTERNET request = handles.Keep(
        ::HttpOpenRequestW(connection, L"POST", target.path.c_str(), L"HTTP/1.0", nullptr, nullptr, kPostFlags, 0));
    if (WIN_LOG_LAST_ERROR_IF(!request))
    {
        return FALSE;
    }
    ApplyOptions(request, options, deadline);
    if (!headers.empty())
    {
        const std::string header = win::WideToAnsi(headers, CP_THREAD_ACP);
        if (WIN_LOG_LAST_ERROR_IF(!::HttpAddRequestHeadersA(request, header.c_str(), static_cast<DWORD>(header.size()),
                HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA)))
        {
            return FALSE;
        }
    }
    std::string body = win::WideToAnsi(data, CP_THREAD_ACP);
    if (!::HttpSendRequestA(request, nullptr, 0, body.empty() ? nullptr : body.data(), static_cast<DWORD>(body.size())))
    {
        const DWORD error = ::GetLastError();
        WIN_REPORT_FAILURE("::HttpSendRequestA(request, ...)", HRESULT_FROM_WIN32(error), L"POST " + url);
        return FALSE;
    }
    return TakeAnswer(request, 200, 206, readResponse, deadline, response);
}

}  // namespace

bool XHttpAccess::SplitUrl(const std::wstring& url, DWORD flags, UrlQuery query, UrlParts& parts)
{
    parts = {};
    std::array<wchar_t, kUrlPartChars> host{};
    std::array<wchar_t, kUrlPartChars> path{};
    std::array<wchar_t, kUrlPartChars> extra{};
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof(components);
    components.lpszHostName = host.data();
    components.dwHostNameLength = kUrlPartChars;
    components.lpszUrlPath = path.data();
    components.dwUrlPathLength = kUrlPartChars;
    if (query == UrlQuery::Apart)
    {
        components.lpszExtraInfo = extra.data();
        components.dwExtraInfoLength = kUrlPartChars;
    }
    if (url.empty() || !::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), flags, &components))
    {
        return false;
    }
    parts.scheme = components.nScheme;
    parts.host.assign(host.data(), wcsnlen(host.data(), kUrlPartChars));
    parts.port = components.nPort;
    parts.path.assign(path.data(), wcsnlen(path.data(), kUrlPartChars));
    parts.extra.assign(extra.data(), wcsnlen(extra.data(), kUrlPartChars));
    return true;
}

bool XHttpAccess::IsLoopbackHost(std::wstring_view host) noexcept
{
    try
    {
        if (host.size() >= 2 && host.front() == L'[' && host.back() == L']')
        {
            host = host.substr(1, host.size() - 2);
        }
        if (win::EqualsNoCase(host, L"localhost") || win::EqualsNoCase(host, L"localhost."))
        {
            return true;
        }
        std::array<unsigned, 4> ipv4{};
        if (ParseIpv4(host, ipv4))
        {
            return ipv4[0] == 127;
        }
        std::array<unsigned, 8> ipv6{};
        if (!ParseIpv6(host, ipv6))
        {
            return false;
        }
        const bool zeroes = std::all_of(ipv6.begin(), ipv6.begin() + 5, [](unsigned group) { return group == 0; });
        return zeroes && ((ipv6[5] == 0 && ipv6[6] == 0 && ipv6[7] == 1) || (ipv6[5] == 0xFFFF && ipv6[6] >> 8 == 127));
    }
    catch (...)
    {
        return false;  // out of memory: the platform's check decides
    }
}

std::wstring XHttpAccess::DecodeBody(std::string_view bytes, UINT codePage)
{
    return win::AnsiToWide(bytes, codePage);
}

BOOL XHttpAccess::Get(const std::wstring& url, const std::wstring& userAgent, BOOL dontCache,
    const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response)
{
    return Get(url, userAgent, dontCache, options, readResponse, response, Answered(), Reach::Origin);
}

BOOL XHttpAccess::Get(const std::wstring& url, const std::wstring& userAgent, BOOL dontCache,
    const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response, const Answered& answered,
    Reach reach)
{
    BOOL result = FALSE;
    try
    {
        Handles handles;
        result = GetWith(handles, url, userAgent, dontCache, options, readResponse, response, reach);
        if (answered)
        {
            answered(result);
        }
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("XHttpAccess request");
        result = FALSE;
    }
    return result;
}

BOOL XHttpAccess::Post(const std::wstring& url, const std::wstring& userAgent, const std::wstring& headers,
    const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response)
{
    return Post(url, userAgent, headers, data, options, readResponse, response, Answered());
}

BOOL XHttpAccess::Post(const std::wstring& url, const std::wstring& userAgent, const std::wstring& headers,
    const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response,
    const Answered& answered)
{
    BOOL result = FALSE;
    try
    {
        Handles handles;
        result = PostWith(handles, url, userAgent, headers, data, options, readResponse, response);
        if (answered)
        {
            answered(result);
        }
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("XHttpAccess request");
        result = FALSE;
    }
    return result;
}

}  // namespace net
