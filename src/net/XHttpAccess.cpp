#include "net/XHttpAccess.h"

#include "win/Handle.h"
#include "win/Strings.h"

#include <algorithm>
#include <array>

namespace
{

constexpr DWORD kUrlPartChars = 4096;

// Flags of the GET: raw data, reuse of an existing connection, and no cache write when asked.
constexpr DWORD kGetFlags = INTERNET_FLAG_RAW_DATA | INTERNET_FLAG_EXISTING_CONNECT;
// Flags of the POST: always to the server, never redirected, never authenticated, never any UI.
constexpr DWORD kPostFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT |
                             INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                             INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_UI;
static_assert(kPostFlags == 0x8064C200);

void ApplyOptions(HINTERNET handle, const HTTPOptionItemArray* options)
{
    if (!options)
    {
        return;
    }
    for (int i = 0; i < options->GetCount(); ++i)
    {
        if (const HTTPOptionItem* item = options->GetAt(i))
        {
            // A handle that does not take an option keeps its default; the others still apply.
            (void)::InternetSetOptionW(handle, item->Option(), const_cast<void*>(item->Value()), item->Length());
        }
    }
}

[[nodiscard]] win::InternetHandle OpenSession(const std::wstring& userAgent, const HTTPOptionItemArray* options)
{
    DWORD state = 0;
    if (!::InternetGetConnectedState(&state, 0))
    {
        return {};
    }
    win::InternetHandle session(
        ::InternetOpenW(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session)
    {
        ApplyOptions(session.Get(), options);
    }
    return session;
}

[[nodiscard]] DWORD QueryStatusCode(HINTERNET request)
{
    DWORD status = 200; // a server that gives no readable status counts as 200
    DWORD size = sizeof(status);
    (void)::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    return status;
}

// The longest receive time-out among the options; 0 when none is given.
ULONGLONG BodyTimeLimitMs(const HTTPOptionItemArray* options)
{
    ULONGLONG limit = 0;
    for (int i = 0; options && i < options->GetCount(); ++i)
    {
        const HTTPOptionItem* item = options->GetAt(i);
        if (item && item->Length() == sizeof(DWORD) &&
            (item->Option() == INTERNET_OPTION_RECEIVE_TIMEOUT ||
             item->Option() == INTERNET_OPTION_DATA_RECEIVE_TIMEOUT))
        {
            limit = std::max<ULONGLONG>(limit, *static_cast<const DWORD*>(item->Value()));
        }
    }
    return limit;
}

// Reads the body and appends it as text. A read failure keeps what arrived; an oversized body, or one that
// takes longer than the time limit as a whole, leaves `response` as it was.
void ReadBody(HINTERNET request, const HTTPOptionItemArray* options, std::wstring& response)
{
    const ULONGLONG limitMs = BodyTimeLimitMs(options);
    const ULONGLONG start = ::GetTickCount64();
    std::string body;
    std::array<char, XHttpAccess::kReadChunkBytes + 1> buffer{};
    for (;;)
    {
        // A synchronous read waits until its whole buffer is filled; asking first what has arrived lets the loop
        // look at the clock between the pieces of a body that trickles in.
        DWORD available = 0;
        DWORD read = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0) || available == 0 ||
            !::InternetReadFile(request, buffer.data(), std::min(available, XHttpAccess::kReadChunkBytes), &read) ||
            read == 0)
        {
            break;
        }
        const bool tooSlow = limitMs > 0 && ::GetTickCount64() - start > limitMs;
        if (body.size() + read > XHttpAccess::kMaxBodyBytes || tooSlow)
        {
            return;
        }
        body.append(buffer.data(), read);
    }
    response += XHttpAccess::DecodeBody(body, CP_THREAD_ACP);
}

} // namespace

bool XHttpAccess::SplitUrl(const std::wstring& url, DWORD flags, bool splitExtra, UrlParts& parts)
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
    if (splitExtra)
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

std::wstring XHttpAccess::DecodeBody(std::string_view bytes, UINT codePage)
{
    return win::AnsiToWide(bytes, codePage);
}

BOOL XHttpAccess::Get(const std::wstring& url, const std::wstring& userAgent, BOOL dontCache,
                      const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response)
{
    try
    {
        UrlParts checked;
        if (!SplitUrl(url, ICU_DECODE, false, checked))
        {
            return FALSE;
        }
        win::InternetHandle session = OpenSession(userAgent, options);
        if (!session)
        {
            return FALSE;
        }
        DWORD flags = kGetFlags;
        if (dontCache == 1)
        {
            flags |= INTERNET_FLAG_NO_CACHE_WRITE;
        }

        win::InternetHandle connection;
        win::InternetHandle request;
        UrlParts target;
        if ((checked.scheme == INTERNET_SCHEME_HTTP || checked.scheme == INTERNET_SCHEME_HTTPS) &&
            SplitUrl(url, 0, true, target))
        {
            // Opened in steps rather than with InternetOpenUrl, so that the time-outs can be set on the
            // connection and request handles before anything is sent.
            connection.Reset(::InternetConnectW(session.Get(), target.host.c_str(), target.port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0));
            if (!connection)
            {
                return FALSE;
            }
            ApplyOptions(connection.Get(), options);
            if (target.scheme == INTERNET_SCHEME_HTTPS)
            {
                flags |= INTERNET_FLAG_SECURE;
            }
            // The fragment names a place in the page and never travels to the server.
            const std::wstring object =
                (target.path.empty() ? L"/" : target.path) + target.extra.substr(0, target.extra.find(L'#'));
            request.Reset(::HttpOpenRequestW(connection.Get(), L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                             flags, 0));
            if (!request)
            {
                return FALSE;
            }
            ApplyOptions(request.Get(), options);
            if (!::HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0))
            {
                return FALSE;
            }
        }
        else
        {
            request.Reset(::InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0, flags, 0));
            if (!request)
            {
                return FALSE;
            }
        }

        if (readResponse == 1)
        {
            if (QueryStatusCode(request.Get()) != HTTP_STATUS_OK)
            {
                return FALSE;
            }
            ReadBody(request.Get(), options, response);
        }
        return TRUE;
    }
    catch (...)
    {
        return FALSE;
    }
}

BOOL XHttpAccess::Post(const std::wstring& url, const std::wstring& userAgent, const std::wstring& headers,
                       const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse,
                       std::wstring& response)
{
    try
    {
        UrlParts target;
        if (!SplitUrl(url, ICU_DECODE, false, target))
        {
            return FALSE;
        }
        win::InternetHandle session = OpenSession(userAgent, options);
        if (!session)
        {
            return FALSE;
        }
        win::InternetHandle connection(::InternetConnectW(session.Get(), target.host.c_str(), target.port, nullptr,
                                                          nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection)
        {
            return FALSE;
        }
        ApplyOptions(connection.Get(), options);
        win::InternetHandle request(::HttpOpenRequestW(connection.Get(), L"POST", target.path.c_str(), L"HTTP/1.0",
                                                       nullptr, nullptr, kPostFlags, 0));
        if (!request)
        {
            return FALSE;
        }
        ApplyOptions(request.Get(), options);
        if (!headers.empty())
        {
            const std::string header = win::WideToAnsi(headers, CP_THREAD_ACP);
            if (!::HttpAddRequestHeadersA(request.Get(), header.c_str(), static_cast<DWORD>(header.size()),
                                          HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA))
            {
                return FALSE;
            }
        }
        std::string body = win::WideToAnsi(data, CP_THREAD_ACP);
        if (!::HttpSendRequestA(request.Get(), nullptr, 0, body.empty() ? nullptr : body.data(),
                                static_cast<DWORD>(body.size())))
        {
            return FALSE;
        }
        if (readResponse == 1)
        {
            const DWORD status = QueryStatusCode(request.Get());
            if (status < 200 || status > 206)
            {
                return FALSE;
            }
            ReadBody(request.Get(), options, response);
        }
        return TRUE;
    }
    catch (...)
    {
        return FALSE;
    }
}
