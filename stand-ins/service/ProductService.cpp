#include "ProductService.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace service
{

namespace
{

constexpr std::size_t kMaxHeaderBytes = std::size_t{64} * 1024;
constexpr std::size_t kMaxBodyBytes = 16u << 20;
constexpr DWORD kIdleReceiveMs = 30000;
constexpr std::string_view kRedirectPrefix = "/redirected";
constexpr std::string_view kLoopPrefix = "/again/";

struct ModeName
{
    FaultMode mode;
    const char* name;
};
constexpr ModeName kModeNames[] = {
    {FaultMode::None, "none"},
    {FaultMode::Refuse, "refuse"},
    {FaultMode::Hang, "hang"},
    {FaultMode::Slow, "slow"},
    {FaultMode::NotFound, "404"},
    {FaultMode::ServerError, "500"},
    {FaultMode::Redirect, "302"},
    {FaultMode::NotXml, "not-xml"},
    {FaultMode::Truncated, "truncated"},
    {FaultMode::Huge, "huge"},
    {FaultMode::Dtd, "dtd"},
    {FaultMode::Body, "body"},
    {FaultMode::Drip, "drip"},
    {FaultMode::Loop, "loop"},
    {FaultMode::SlowLoop, "slow-loop"},
    {FaultMode::Endless, "endless"},
    {FaultMode::DripHeaders, "drip-headers"},
    {FaultMode::Stall, "stall"},
    {FaultMode::NoContent, "204"},
    {FaultMode::Partial, "206"},
};

// How often the accept loop looks at the fault mode while nobody connects.
constexpr long kAcceptLookMs = 50;

const char* ReasonOf(int status)
{
    switch (status)
    {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
        std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// %XX and '+' decoded, as in a form-encoded query.
std::string UrlDecode(std::string_view text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '+')
        {
            result += ' ';
        }
        else if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])))
        {
            result += static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
            i += 2;
        }
        else
        {
            result += text[i];
        }
    }
    return result;
}

std::map<std::string, std::string> ParseQuery(std::string_view query)
{
    std::map<std::string, std::string> values;
    while (!query.empty())
    {
        const auto amp = query.find('&');
        const auto pair = query.substr(0, amp);
        const auto eq = pair.find('=');
        values[UrlDecode(pair.substr(0, eq))] = eq == std::string_view::npos ? "" : UrlDecode(pair.substr(eq + 1));
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    }
    return values;
}

bool ParseUnsigned(const std::string& text, unsigned long long& value)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    {
        return false;
    }
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool SendAll(SOCKET socket, std::string_view data)
{
    while (!data.empty())
    {
        const int chunk = static_cast<int>(std::min(data.size(), std::size_t{64} * 1024));
        const int sent = ::send(socket, data.data(), chunk, 0);
        if (sent <= 0)
        {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

}  // namespace

bool ParseFaultMode(std::string_view text, FaultMode& mode)
{
    for (const auto& entry : kModeNames)
    {
        if (EqualsNoCase(text, entry.name))
        {
            mode = entry.mode;
            return true;
        }
    }
    return false;
}

const char* FaultModeName(FaultMode mode)
{
    for (const auto& entry : kModeNames)
    {
        if (entry.mode == mode)
        {
            return entry.name;
        }
    }
    return "?";
}

ProductService::ProductService()
    : m_stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_quitEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

ProductService::~ProductService()
{
    Stop();
    ::CloseHandle(m_stopEvent);
    ::CloseHandle(m_quitEvent);
}

bool ProductService::Start(std::uint16_t port)
{
    if (m_listener != INVALID_SOCKET)
    {
        return false;
    }
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
    {
        return false;
    }
    m_winsock = true;
    m_stopping = false;
    ::ResetEvent(m_stopEvent);

    m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (m_listener == INVALID_SOCKET ||
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, SOMAXCONN) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        Stop();
        return false;
    }
    m_port = ::ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void ProductService::Stop()
{
    m_stopping = true;
    ::SetEvent(m_stopEvent);
    if (m_listener != INVALID_SOCKET)
    {
        ::closesocket(m_listener);
        m_listener = INVALID_SOCKET;
    }
    if (m_acceptThread.joinable())
    {
        m_acceptThread.join();
    }
    std::list<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard guard(m_lock);
        for (auto& connection : m_connections)
        {
            ::shutdown(connection->socket, SD_BOTH);
        }
        connections.swap(m_connections);
    }
    for (auto& connection : connections)
    {
        connection->thread.join();
    }
    if (m_winsock)
    {
        ::WSACleanup();
        m_winsock = false;
    }
}

std::wstring ProductService::BaseUrl() const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/";
}

void ProductService::SetDefinitions(std::string code)
{
    std::lock_guard guard(m_lock);
    m_definitions = std::move(code);
    m_updating = false;
}

void ProductService::SetProtection(std::string code)
{
    std::lock_guard guard(m_lock);
    m_protection = std::move(code);
}

void ProductService::SetUpdateDelayMs(unsigned ms)
{
    std::lock_guard guard(m_lock);
    m_updateDelayMs = ms;
}

std::string ProductService::Definitions()
{
    std::lock_guard guard(m_lock);
    if (m_updating && ::GetTickCount64() >= m_updateDue)
    {
        m_updating = false;
        m_definitions = "green";
    }
    return m_definitions;
}

std::string ProductService::Protection()
{
    std::lock_guard guard(m_lock);
    return m_protection;
}

bool ProductService::IsUpdating()
{
    (void)Definitions();
    std::lock_guard guard(m_lock);
    return m_updating;
}

void ProductService::SetFault(FaultMode mode)
{
    std::lock_guard guard(m_lock);
    m_fault = mode;
}

FaultMode ProductService::Fault()
{
    std::lock_guard guard(m_lock);
    return m_fault;
}

void ProductService::SetStallMs(unsigned ms)
{
    std::lock_guard guard(m_lock);
    m_stallMs = ms;
}

void ProductService::SetSlowDelayMs(unsigned ms)
{
    std::lock_guard guard(m_lock);
    m_slowDelayMs = ms;
}

void ProductService::SetHugeBytes(std::size_t bytes)
{
    std::lock_guard guard(m_lock);
    m_hugeBytes = bytes;
}

void ProductService::SetCustomBody(std::string body)
{
    std::lock_guard guard(m_lock);
    m_customBody = std::move(body);
}

void ProductService::SetRedirectOrigin(std::string origin)
{
    std::lock_guard guard(m_lock);
    m_redirectOrigin = std::move(origin);
}

void ProductService::SetBodySplit(std::size_t bytes)
{
    std::lock_guard guard(m_lock);
    m_bodySplit = bytes;
}

std::size_t ProductService::RequestCount(std::string_view path) const
{
    std::lock_guard guard(m_lock);
    const auto it = m_counts.find(path);
    return it == m_counts.end() ? 0 : it->second;
}

std::size_t ProductService::TotalRequests() const
{
    std::lock_guard guard(m_lock);
    return m_requests.size();
}

std::vector<RecordedRequest> ProductService::Requests() const
{
    std::lock_guard guard(m_lock);
    return m_requests;
}

void ProductService::ClearRequests()
{
    std::lock_guard guard(m_lock);
    m_requests.clear();
    m_counts.clear();
}

void ProductService::SetLog(std::function<void(const std::string&)> log)
{
    std::lock_guard guard(m_lock);
    m_log = std::move(log);
}

std::string ProductService::StatusXml(std::string_view definitions, std::string_view protection)
{
    std::string xml = "<?xml version=\"1.0\"?>\r\n<response><vdf_status>";
    xml.append(definitions).append("</vdf_status><pavise_status>").append(protection);
    xml.append("</pavise_status></response>\r\n");
    return xml;
}

void ProductService::AcceptLoop()
{
    while (!m_stopping)
    {
        if (Fault() == FaultMode::Stall)
        {
            Stall();
            continue;
        }
        // Waits for a connection in short steps, so that a change of the fault mode is seen while nobody calls.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener, &readable);
        timeval wait{0, kAcceptLookMs * 1000};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
        {
            continue;
        }
        const SOCKET socket = ::accept(m_listener, nullptr, nullptr);
        if (socket == INVALID_SOCKET)
        {
            if (m_stopping)
            {
                break;
            }
            continue;
        }
        ReapFinished();
        const DWORD idle = kIdleReceiveMs;
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&idle), sizeof(idle));
        std::lock_guard guard(m_lock);
        auto& connection = m_connections.emplace_back(std::make_unique<Connection>());
        connection->socket = socket;
        Connection* raw = connection.get();
        connection->thread = std::thread([this, raw] {
            Serve(*raw);
            raw->done = true;
        });
    }
}

void ProductService::Stall()
{
    // A listener whose queue is full drops the SYN of every further connect: the client's connect neither
    // completes nor fails. The queue is shrunk to its least and filled with connections of the service's own.
    sockaddr_in address{};
    int length = sizeof(address);
    std::vector<SOCKET> fillers;
    if (::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 && ::listen(m_listener, 0) == 0)
    {
        for (u_long nonBlocking = 1; fillers.size() < 64;)
        {
            const SOCKET filler = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            if (filler == INVALID_SOCKET)
            {
                break;
            }
            fillers.push_back(filler);
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(filler, &writable);
            timeval wait{0, 500 * 1000};
            (void)::ioctlsocket(filler, FIONBIO, &nonBlocking);
            (void)::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
            if (::select(0, nullptr, &writable, nullptr, &wait) != 1)
            {
                break;  // this one was not taken: the queue is full
            }
        }
    }
    m_stalled = true;
    Log("stalled: no connection is accepted");
    const ULONGLONG start = ::GetTickCount64();
    unsigned stallMs = 0;
    {
        std::lock_guard guard(m_lock);
        stallMs = m_stallMs;
    }
    while (!m_stopping && Fault() == FaultMode::Stall && (stallMs == 0 || ::GetTickCount64() - start < stallMs))
    {
        (void)::WaitForSingleObject(m_stopEvent, kAcceptLookMs);
    }
    if (Fault() == FaultMode::Stall)
    {
        SetFault(FaultMode::None);
    }
    m_stalled = false;
    // The fillers go, and with them what they left in the queue; then the queue takes connections again.
    for (const SOCKET filler : fillers)
    {
        ::closesocket(filler);
    }
    if (!m_stopping)
    {
        (void)::listen(m_listener, SOMAXCONN);
        for (u_long nonBlocking = 1;;)
        {
            (void)::ioctlsocket(m_listener, FIONBIO, &nonBlocking);
            const SOCKET queued = ::accept(m_listener, nullptr, nullptr);
            if (queued == INVALID_SOCKET)
            {
                break;
            }
            ::closesocket(queued);
        }
        u_long blocking = 0;
        (void)::ioctlsocket(m_listener, FIONBIO, &blocking);
        Log("serving again");
    }
}

void ProductService::ReapFinished()
{
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard guard(m_lock);
        for (auto it = m_connections.begin(); it != m_connections.end();)
        {
            if ((*it)->done)
            {
                finished.push_back(std::move(*it));
                it = m_connections.erase(it);
            }
            else
            {
                ++it;
            }
        }
    }
    for (auto& connection : finished)
    {
        connection->thread.join();
    }
}

bool ProductService::ReadRequest(SOCKET socket, RecordedRequest& request)
{
    std::string data;
    size_t headerEnd = std::string::npos;
    char buffer[8192];
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos)
    {
        if (data.size() > kMaxHeaderBytes || m_stopping)
        {
            return false;
        }
        const int received = ::recv(socket, buffer, sizeof(buffer), 0);
        if (received <= 0)
        {
            return false;
        }
        data.append(buffer, static_cast<size_t>(received));
    }

    const auto lineEnd = data.find("\r\n");
    const std::string line = data.substr(0, lineEnd);
    const auto firstSpace = line.find(' ');
    const auto lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || lastSpace == firstSpace)
    {
        return false;
    }
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = line.substr(lastSpace + 1);
    request.path = request.target.substr(0, request.target.find('?'));
    request.headers = data.substr(lineEnd + 2, headerEnd + 2 - (lineEnd + 2));

    size_t contentLength = 0;
    for (size_t pos = 0; pos < request.headers.size();)
    {
        const auto end = request.headers.find("\r\n", pos);
        const std::string header = request.headers.substr(pos, end - pos);
        const auto colon = header.find(':');
        if (colon != std::string::npos && EqualsNoCase(header.substr(0, colon), "Content-Length"))
        {
            contentLength = std::strtoull(header.c_str() + colon + 1, nullptr, 10);
        }
        pos = end + 2;
    }
    if (contentLength > kMaxBodyBytes)
    {
        return false;
    }
    request.body = data.substr(headerEnd + 4);
    while (request.body.size() < contentLength)
    {
        const int received = ::recv(socket, buffer, sizeof(buffer), 0);
        if (received <= 0)
        {
            return false;
        }
        request.body.append(buffer, static_cast<size_t>(received));
    }
    request.body.resize(std::min(request.body.size(), contentLength));
    return true;
}

void ProductService::Record(const RecordedRequest& request)
{
    std::lock_guard guard(m_lock);
    m_requests.push_back(request);
    m_requests.back().receivedAtMs = ::GetTickCount64();
    ++m_counts[request.path];
}

void ProductService::Log(const std::string& line)
{
    std::function<void(const std::string&)> log;
    {
        std::lock_guard guard(m_lock);
        log = m_log;
    }
    if (log)
    {
        log(line);
    }
}

void ProductService::Serve(Connection& connection)
{
    const SOCKET socket = connection.socket;
    RecordedRequest request;
    if (ReadRequest(socket, request))
    {
        Record(request);
        const bool control = request.path.rfind("/control/", 0) == 0;
        FaultMode fault = control ? FaultMode::None : Fault();
        std::string_view path = request.path;
        const bool redirected = path.size() > kRedirectPrefix.size() &&
            path.substr(0, kRedirectPrefix.size()) == kRedirectPrefix && path[kRedirectPrefix.size()] == '/';
        if (!control && redirected)
        {
            path.remove_prefix(kRedirectPrefix.size());
            fault = FaultMode::None;
        }
        std::string line = request.method + " " + request.target;
        if (fault != FaultMode::None)
        {
            line += std::string(" [") + FaultModeName(fault) + "]";
        }
        Log(line);

        switch (fault)
        {
        case FaultMode::Refuse:
        {
            const linger reset{1, 0};
            ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
            break;
        }
        case FaultMode::Hang: WaitUntilClosedOrStopped(socket, FaultMode::Hang); break;
        case FaultMode::Redirect:
        {
            Answer answer;
            answer.status = 302;
            std::string origin;
            {
                std::lock_guard guard(m_lock);
                origin = m_redirectOrigin;
            }
            answer.extraHeaders = "Location: " + origin + std::string(kRedirectPrefix) + request.target + "\r\n";
            Send(socket, answer, request);
            break;
        }
        case FaultMode::SlowLoop:
            if (::WaitForSingleObject(m_stopEvent, SlowDelayMs()) == WAIT_OBJECT_0)
            {
                break;
            }
            [[fallthrough]];
        case FaultMode::Loop:
        {
            // Relative Locations, which the client must resolve against the path it asked for.
            Answer answer;
            answer.status = 302;
            const bool there = request.target.rfind(kLoopPrefix, 0) == 0;
            const std::string location =
                there ? "../" + request.target.substr(kLoopPrefix.size()) : "again" + request.target;
            answer.extraHeaders = "Location: " + location + "\r\n";
            Send(socket, answer, request);
            break;
        }
        case FaultMode::Endless: SendEndless(socket); break;
        case FaultMode::Slow:
        {
            if (::WaitForSingleObject(m_stopEvent, SlowDelayMs()) == WAIT_OBJECT_0)
            {
                break;
            }
            Send(socket, Product(request, path), request);
            break;
        }
        case FaultMode::NoContent:
        {
            Answer answer;
            answer.status = 204;
            Send(socket, answer, request);
            break;
        }
        case FaultMode::Partial:
        {
            Answer answer = Product(request, path);
            answer.status = answer.status == 200 ? 206 : answer.status;
            Send(socket, answer, request);
            break;
        }
        case FaultMode::NotFound:
        case FaultMode::ServerError:
        {
            Answer answer;
            answer.status = fault == FaultMode::NotFound ? 404 : 500;
            answer.contentType = "text/plain";
            answer.body = answer.status == 404 ? "no such page\r\n" : "internal failure\r\n";
            Send(socket, answer, request);
            break;
        }
        default: Send(socket, control ? Control(request) : Product(request, path), request); break;
        }
    }
    ::closesocket(socket);
}

unsigned ProductService::SlowDelayMs() const
{
    std::lock_guard guard(m_lock);
    return m_slowDelayMs;
}

void ProductService::SendEndless(SOCKET socket)
{
    // Chunked, so that the answer is well-formed HTTP at every moment; only the client closing the connection
    // (or Stop, or the service leaving the mode) ends it. Large pieces keep the client's socket full, and a
    // non-blocking socket lets Stop end a send that waits for room.
    const auto chunk = [](std::string_view text) {
        char size[16];
        std::snprintf(size, sizeof(size), "%zx\r\n", text.size());
        return size + std::string(text) + "\r\n";
    };
    const std::string start = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n"
                              "Connection: close\r\n\r\n" +
        chunk("<?xml version=\"1.0\"?>\r\n<response><!--");
    const std::string padding = chunk(std::string(std::size_t{1024} * 1024, 'x'));
    const int sendBuffer = 4 << 20;
    u_long nonBlocking = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBuffer), sizeof(sendBuffer));
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    std::string_view rest = start;
    while (!m_stopping && Fault() == FaultMode::Endless)
    {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(socket, &writable);
        timeval wait{0, 100 * 1000};
        const int ready = ::select(0, nullptr, &writable, nullptr, &wait);
        const int sent = ready > 0 ? ::send(socket, rest.data(), static_cast<int>(rest.size()), 0) : 0;
        if (ready < 0 || (sent < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK))
        {
            return;
        }
        rest.remove_prefix(static_cast<size_t>(std::max(sent, 0)));
        if (rest.empty())
        {
            rest = padding;
        }
    }
}

void ProductService::WaitUntilClosedOrStopped(SOCKET socket, FaultMode mode)
{
    char buffer[512];
    while (!m_stopping && Fault() == mode)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket, &readable);
        timeval wait{0, 100 * 1000};
        const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
        if (ready < 0)
        {
            return;
        }
        if (ready > 0 && ::recv(socket, buffer, sizeof(buffer), 0) <= 0)
        {
            return;  // the client gave up
        }
    }
}

ProductService::Answer ProductService::Product(const RecordedRequest& request, std::string_view path)
{
    Answer answer;
    if (path == "/GetStatus")
    {
        if (request.method != "GET")
        {
            answer.status = 405;
            return answer;
        }
        const FaultMode fault = Fault();
        const std::string definitions = Definitions();
        const std::string protection = Protection();
        std::lock_guard guard(m_lock);
        switch (fault)
        {
        case FaultMode::NotXml:
            answer.contentType = "text/plain";
            answer.body = "status: " + definitions + ", " + protection + "\r\n";
            break;
        case FaultMode::Huge:
            answer.body = "<?xml version=\"1.0\"?>\r\n<response><!--" + std::string(m_hugeBytes, 'x') +
                "--><vdf_status>" + definitions + "</vdf_status><pavise_status>" + protection +
                "</pavise_status></response>\r\n";
            break;
        case FaultMode::Dtd:
            answer.body = "<?xml version=\"1.0\"?>\r\n<!DOCTYPE response [<!ENTITY d \"" + definitions +
                "\"><!ENTITY p \"" + protection +
                "\">]>\r\n<response><vdf_status>&d;</vdf_status>"
                "<pavise_status>&p;</pavise_status></response>\r\n";
            break;
        case FaultMode::Body: answer.body = m_customBody; break;
        default: answer.body = StatusXml(definitions, protection); break;
        }
        return answer;
    }
    if (path == "/DoUpdate")
    {
        if (request.method != "POST")
        {
            answer.status = 405;
            return answer;
        }
        std::lock_guard guard(m_lock);
        m_updating = true;
        m_updateDue = ::GetTickCount64() + m_updateDelayMs;
        answer.contentType = "text/plain";
        answer.body = "update started\r\n";
        return answer;
    }
    if (Fault() == FaultMode::Body)
    {
        std::lock_guard guard(m_lock);
        answer.body = m_customBody;
        return answer;
    }
    answer.status = 404;
    answer.contentType = "text/plain";
    answer.body = "no such page\r\n";
    return answer;
}

ProductService::Answer ProductService::Control(const RecordedRequest& request)
{
    const auto query = request.target.find('?');
    const std::string_view target = request.target;
    auto values = ParseQuery(query == std::string::npos ? std::string_view{} : target.substr(query + 1));
    if (request.method == "POST")
    {
        for (auto& [key, value] : ParseQuery(request.body))
        {
            values[key] = value;
        }
    }
    Answer answer;
    answer.contentType = "text/plain";
    unsigned long long number = 0;
    if (request.path == "/control/set")
    {
        for (const auto& [key, value] : values)
        {
            if (key == "definitions")
            {
                SetDefinitions(value);
            }
            else if (key == "protection")
            {
                SetProtection(value);
            }
            else if (key == "update-delay-ms" && ParseUnsigned(value, number))
            {
                SetUpdateDelayMs(static_cast<unsigned>(number));
            }
            else
            {
                answer.status = 400;
                answer.body = "unknown or malformed setting: " + key + "\r\n";
                return answer;
            }
        }
        answer.body = "definitions " + Definitions() + "\r\nprotection " + Protection() + "\r\n";
        return answer;
    }
    if (request.path == "/control/fault")
    {
        for (const auto& [key, value] : values)
        {
            FaultMode mode = FaultMode::None;
            if (key == "mode" && ParseFaultMode(value, mode))
            {
                SetFault(mode);
            }
            else if (key == "slow-ms" && ParseUnsigned(value, number))
            {
                SetSlowDelayMs(static_cast<unsigned>(number));
            }
            else if (key == "stall-ms" && ParseUnsigned(value, number))
            {
                SetStallMs(static_cast<unsigned>(std::min<unsigned long long>(number, 600000)));
            }
            else if (key == "huge-bytes" && ParseUnsigned(value, number))
            {
                SetHugeBytes(static_cast<size_t>(std::min<unsigned long long>(number, 256u << 20)));
            }
            else if (key == "body")
            {
                SetCustomBody(value);
            }
            else
            {
                answer.status = 400;
                answer.body = "unknown or malformed fault setting: " + key + "\r\n";
                return answer;
            }
        }
        answer.body = std::string("mode ") + FaultModeName(Fault()) + "\r\n";
        return answer;
    }
    if (request.path == "/control/stats")
    {
        answer.body = "definitions " + Definitions() + "\r\nprotection " + Protection() + "\r\nupdating " +
            (IsUpdating() ? "yes" : "no") + "\r\nmode " + FaultModeName(Fault()) + "\r\n";
        std::lock_guard guard(m_lock);
        answer.body += "total " + std::to_string(m_requests.size()) + "\r\n";
        for (const auto& [path, count] : m_counts)
        {
            answer.body += "path " + path + " " + std::to_string(count) + "\r\n";
        }
        return answer;
    }
    if (request.path == "/control/reset-stats")
    {
        ClearRequests();
        answer.body = "total 0\r\n";
        return answer;
    }
    if (request.path == "/control/quit")
    {
        ::SetEvent(m_quitEvent);
        answer.body = "bye\r\n";
        return answer;
    }
    answer.status = 404;
    answer.body = "no such control request\r\n";
    return answer;
}

void ProductService::Send(SOCKET socket, const Answer& answer, const RecordedRequest& request)
{
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + ReasonOf(answer.status) + "\r\n";
    head += "Content-Type: " + answer.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    head += "Cache-Control: no-cache\r\nConnection: close\r\n" + answer.extraHeaders + "\r\n";
    if (request.method == "HEAD")
    {
        (void)SendAll(socket, head);
        return;
    }
    const FaultMode fault = request.path.rfind("/control/", 0) == 0 ? FaultMode::None : Fault();
    if (fault == FaultMode::DripHeaders)
    {
        const unsigned delay = SlowDelayMs();
        bool sent = true;
        for (size_t i = 0; sent && i < head.size(); ++i)
        {
            sent = SendAll(socket, std::string_view(head).substr(i, 1)) &&
                ::WaitForSingleObject(m_stopEvent, delay) != WAIT_OBJECT_0 && Fault() == FaultMode::DripHeaders;
        }
        head.clear();
        if (!sent)
        {
            return;
        }
    }
    if (fault == FaultMode::Truncated)
    {
        (void)SendAll(socket, head + answer.body.substr(0, answer.body.size() / 2));
        return;
    }
    if (fault == FaultMode::Drip)
    {
        const unsigned delay = SlowDelayMs();
        bool sent = SendAll(socket, head);
        for (size_t i = 0; sent && i < answer.body.size(); ++i)
        {
            sent = ::WaitForSingleObject(m_stopEvent, delay) != WAIT_OBJECT_0 && Fault() == FaultMode::Drip &&
                SendAll(socket, std::string_view(answer.body).substr(i, 1));
        }
        return;
    }
    size_t split = 0;
    {
        std::lock_guard guard(m_lock);
        split = answer.status == 200 && m_bodySplit < answer.body.size() ? m_bodySplit : 0;
    }
    if (split > 0)
    {
        if (!SendAll(socket, head + answer.body.substr(0, split)) ||
            ::WaitForSingleObject(m_stopEvent, 200) == WAIT_OBJECT_0)
        {
            return;
        }
        head.clear();
    }
    if (SendAll(socket, head + answer.body.substr(split)))
    {
        // Let the client read everything before the close, so it sees a clean end rather than a reset.
        ::shutdown(socket, SD_SEND);
        char buffer[256];
        while (!m_stopping && ::recv(socket, buffer, sizeof(buffer), 0) > 0)
        {
        }
    }
}

}  // namespace service
