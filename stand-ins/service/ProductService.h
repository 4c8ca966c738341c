#pragma once
// ProductService: the product's local HTTP service, written in its place for the demo and the tests. It
// listens on 127.0.0.1 only, answers GET /GetStatus with the status XML of its current codes and takes
// POST /DoUpdate as the start of an update that turns the definitions green after a delay. Control
// requests under /control/ change its state and fault mode while it runs and report what reached it.
//
// One accept thread plus one thread per connection; every connection carries one request and is closed
// after the answer. All public members may be called from any thread. Stop (or destruction) ends every
// thread, including connections held open by the hang and slow modes.

#include <winsock2.h>

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace service
{

// How the service misbehaves for requests outside /control/.
enum class FaultMode
{
    None,  // answer normally
    Refuse,  // reset the connection without answering
    Hang,  // keep the connection open and never answer (until the service leaves the mode)
    Slow,  // answer normally after the slow delay
    Drip,  // answer normally, one byte of the body per slow delay
    NotFound,  // 404
    ServerError,  // 500
    Redirect,  // 302 to the same path under /redirected/, which is served normally (on the redirection origin)
    Loop,  // 302 for ever, by relative Locations: /P to again/P (/again/P), and /again/P back to ../P
    SlowLoop,  // the loop, each redirection sent after the slow delay
    NotXml,  // 200 with a body that is not XML
    Truncated,  // 200 announcing the whole status body, sending half of it, then closing
    Huge,  // 200 with a well-formed status answer padded to the huge size by a comment
    Dtd,  // 200 with a status answer whose codes come from entities of an internal DTD
    Body,  // 200 with the custom body bytes, exactly as given
    Endless,  // 200 with a status answer whose comment never ends, sent as fast as the client takes it (until
              // the service leaves the mode)
    DripHeaders,  // the status line and headers one byte per slow delay, then the answer
    Stall,  // accepts nothing and keeps its accept queue full: connects neither complete nor fail
    NoContent,  // 204 without a body
    Partial,  // 206 with the status answer
};

[[nodiscard]] bool ParseFaultMode(std::string_view text, FaultMode& mode);
[[nodiscard]] const char* FaultModeName(FaultMode mode);

// One request as it reached the service.
struct RecordedRequest
{
    std::string method;
    std::string target;  // as sent, query included
    std::string path;  // target without the query
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
    std::string headers;  // raw header lines, each ending in CRLF
    std::string body;
    ULONGLONG receivedAtMs = 0;  // GetTickCount64 when the whole request had arrived
};

class ProductService
{
public:
    static constexpr std::uint16_t kDefaultPort = 44081;

    ProductService();
    ProductService(const ProductService&) = delete;
    ProductService& operator=(const ProductService&) = delete;
    ~ProductService();

    // Listens on 127.0.0.1:port (0 picks a free port). False when the port cannot be bound.
    [[nodiscard]] bool Start(std::uint16_t port);
    void Stop();
    [[nodiscard]] std::uint16_t Port() const noexcept { return m_port; }
    // "http://127.0.0.1:<port>/".
    [[nodiscard]] std::wstring BaseUrl() const;

    // State. Codes are free text: the client compares them with its configured codes.
    void SetDefinitions(std::string code);
    void SetProtection(std::string code);
    void SetUpdateDelayMs(unsigned ms);
    [[nodiscard]] std::string Definitions();
    [[nodiscard]] std::string Protection();
    [[nodiscard]] bool IsUpdating();

    void SetFault(FaultMode mode);
    // With the stall mode: how long it lasts before the service answers again (0: until the mode is changed,
    // which only a caller in this process can do, as no control request gets through meanwhile).
    void SetStallMs(unsigned ms);
    // Whether the accept queue is full now (the stall mode has taken effect).
    [[nodiscard]] bool IsStalled() const noexcept { return m_stalled.load(); }
    [[nodiscard]] FaultMode Fault();
    void SetSlowDelayMs(unsigned ms);
    void SetHugeBytes(std::size_t bytes);
    void SetCustomBody(std::string body);
    // With the redirection mode: the scheme, host and port the Location names ("http://127.0.0.1:8080"), or none
    // (a path on this service).
    void SetRedirectOrigin(std::string origin);
    // Sends every 200 answer in two pieces, the first ending after `bytes` bytes of the body, with a pause
    // between them (0: in one piece). Lets tests place a network read boundary inside the body.
    void SetBodySplit(std::size_t bytes);

    // What reached the service (control requests included).
    [[nodiscard]] std::size_t RequestCount(std::string_view path) const;
    [[nodiscard]] std::size_t TotalRequests() const;
    [[nodiscard]] std::vector<RecordedRequest> Requests() const;
    void ClearRequests();

    // One line per request, called on connection threads.
    void SetLog(std::function<void(const std::string&)> log);

    // Signalled by GET or POST /control/quit.
    [[nodiscard]] HANDLE QuitEvent() const noexcept { return m_quitEvent; }

    // The status XML for two codes.
    [[nodiscard]] static std::string StatusXml(std::string_view definitions, std::string_view protection);

private:
    struct Connection
    {
        SOCKET socket = INVALID_SOCKET;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    struct Answer
    {
        int status = 200;
        std::string contentType = "text/xml";
        std::string extraHeaders;
        std::string body;
    };

    void AcceptLoop();
    // Keeps the accept queue full for as long as the stall mode lasts, then lets the listener serve again.
    void Stall();
    void Serve(Connection& connection);
    [[nodiscard]] bool ReadRequest(SOCKET socket, RecordedRequest& request);
    void Record(const RecordedRequest& request);
    [[nodiscard]] Answer Control(const RecordedRequest& request);
    [[nodiscard]] Answer Product(const RecordedRequest& request, std::string_view path);
    void Send(SOCKET socket, const Answer& answer, const RecordedRequest& request);
    void SendEndless(SOCKET socket);
    // Until the client closes, the service stops or it leaves the fault `mode`.
    void WaitUntilClosedOrStopped(SOCKET socket, FaultMode mode);
    [[nodiscard]] unsigned SlowDelayMs() const;
    void Log(const std::string& line);
    void ReapFinished();

    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_stalled{false};
    HANDLE m_stopEvent = nullptr;
    HANDLE m_quitEvent = nullptr;
    bool m_winsock = false;
    SOCKET m_listener = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    std::thread m_acceptThread;

    mutable std::mutex m_lock;
    std::list<std::unique_ptr<Connection>> m_connections;
    std::vector<RecordedRequest> m_requests;
    std::map<std::string, std::size_t, std::less<>> m_counts;
    std::string m_definitions = "green";
    std::string m_protection = "enabled";
    unsigned m_updateDelayMs = 3000;
    bool m_updating = false;
    ULONGLONG m_updateDue = 0;
    FaultMode m_fault = FaultMode::None;
    unsigned m_slowDelayMs = 1500;
    std::size_t m_hugeBytes = 4u << 20;
    std::string m_customBody;
    std::string m_redirectOrigin;
    std::size_t m_bodySplit = 0;
    unsigned m_stallMs = 0;
    std::function<void(const std::string&)> m_log;
};

}  // namespace service
