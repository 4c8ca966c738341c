#pragma once
// XHttpAccess: single blocking HTTP requests through WinINet. Each call opens its own handles and is done with
// all of them when it returns, so several threads may call at once. Failures are a false result; the caller
// cannot tell a bad URL from an offline machine or a refused connection, but each is reported where it happens
// (win::FailureReport): the WinINet call and its error, a status outside the range, too many redirections, a
// body over the cap or still arriving at the deadline.
//
// Time-outs come in as options (HTTPOptionItemArray). They are set on the session handle and again on the
// connection and request handles: some WinINet implementations ignore time-outs given only to the session,
// and a service that accepts and never answers would otherwise hold the caller for ever. The longest of them
// also bounds the whole request, redirections and body included: each step gets at most the time that is left.
// WinINet itself honours a time-out per read only (a service that drips its headers a byte at a time is never
// timed out) and under Wine not at all for a connect nobody answers; a caller that must not be held longer
// runs its requests through an HttpExchange, which bounds them by the clock from outside.
//
// A GET follows at most kMaxRedirections redirections itself (WinINet would follow a service that redirects
// for ever, hundreds of times a second) and fails at the next one. Unless its caller lets it go anywhere
// (Reach::Anywhere), it also stays on the origin of its URL, and neither it nor a POST carries the platform's
// credentials or cookies or shows a dialog: while the product's service is down any local program can take
// its port, and must neither steer the request to another host (an intranet host would get the user's automatic
// Windows logon) nor choose what every window shows.
//
// A body is read whole, at most kMaxBodyBytes, and converted to UTF-16 once at the end, so a multi-byte
// character that straddles two network reads survives. A larger body is not an answer this add-on can use,
// nor is one that is still arriving when the time is up: reading stops, `response` is left as it was and the
// call still succeeds (the exchange itself worked), so a caller that needs the text sees an empty answer.
//
// NOTE: closing a request whose answer was not read to its end makes WinINet read the rest first, for as long
// as more keeps arriving (Wine does so even for a connection that cannot be kept). The handles close when the
// call returns; the `answered` form tells its result before that, so that a caller on another thread need not
// wait for the close.

#include "net/HTTPOptionItemArray.h"

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace net
{

class XHttpAccess
{
public:
    static constexpr std::size_t kMaxBodyBytes = 1u << 20;
    static constexpr int kMaxRedirections = 5;
    // Bytes asked of each InternetReadFile.
    static constexpr DWORD kReadChunkBytes = 8191;

    // Where a GET may go.
    enum class Reach
    {
        Origin,  // the scheme, host and port of its URL; a redirection elsewhere fails. No logon, cookies or UI
        Anywhere,  // wherever redirections lead, with the platform's logon and cookies (remote hosts by design)
    };

    // GET of `url`, within its origin. `dontCache` and `readResponse` count only when 1. With `readResponse` 1
    // the status must be 200 and the body is appended to `response`; with 0 the call succeeds once the answer's
    // headers arrived. At most kMaxRedirections redirections are followed.
    [[nodiscard]] static BOOL Get(const std::wstring& url, const std::wstring& userAgent, BOOL dontCache,
        const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response);

    // Hears the result of a request once it is final and `response` holds all it will get, before the handles
    // are closed.
    using Answered = std::function<void(BOOL result)>;
    // Get (going as far as `reach` lets it) and Post that tell `answered` their result before they close their
    // handles.
    [[nodiscard]] static BOOL Get(const std::wstring& url, const std::wstring& userAgent, BOOL dontCache,
        const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response, const Answered& answered,
        Reach reach);

    // HTTP/1.0 POST of `data` to `url` with the extra header lines `headers` (none when empty). Never follows a
    // redirection, never authenticates, sends no cookies, never shows UI. With `readResponse` 1 the status must lie in
    // 200-206 and the body is appended to `response`.
    [[nodiscard]] static BOOL Post(const std::wstring& url, const std::wstring& userAgent, const std::wstring& headers,
        const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response);
    [[nodiscard]] static BOOL Post(const std::wstring& url, const std::wstring& userAgent, const std::wstring& headers,
        const std::wstring& data, const HTTPOptionItemArray* options, BOOL readResponse, std::wstring& response,
        const Answered& answered);

    struct UrlParts
    {
        INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
        std::wstring host;
        INTERNET_PORT port = 0;  // the scheme's default when the URL names none
        std::wstring path;  // as the platform splits it
        std::wstring extra;  // query and fragment, with UrlQuery::Apart
    };
    // Where SplitUrl puts a URL's query and fragment.
    enum class UrlQuery
    {
        InPath,  // left at the end of `path`
        Apart,  // in `extra`
    };
    // Splits a URL with InternetCrackUrlW (flags such as ICU_DECODE); host and path are limited to 4095
    // characters.
    [[nodiscard]] static bool SplitUrl(const std::wstring& url, DWORD flags, UrlQuery query, UrlParts& parts);

    // Whether `host` (as a URL names it) is this machine's loopback: "localhost", 127.0.0.0/8 in dotted decimal,
    // or ::1 (also as ::ffff: and an address of 127.0.0.0/8), bracketed or not. A request to it needs no network,
    // so it is made whatever the platform says of the machine's connection; for every other host, including
    // forms of these that a resolver might still take for the loopback, an offline machine makes none.
    [[nodiscard]] static bool IsLoopbackHost(std::wstring_view host) noexcept;

    // A body's bytes as text of a code page, converted as one piece; a zero byte ends the text.
    [[nodiscard]] static std::wstring DecodeBody(std::string_view bytes, UINT codePage);
};

}  // namespace net
