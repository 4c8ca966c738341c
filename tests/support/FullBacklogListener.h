#pragma once
// A loopback listener that never accepts and whose accept queue has been filled by connections of its own. Linux
// drops the SYN of any further connection to a full queue, so a client's connect to it neither completes nor
// fails: it hangs for as long as the client's own connect time-out (if any) allows. Stays so until destroyed.

#include <winsock2.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support
{

class FullBacklogListener
{
public:
    FullBacklogListener() = default;
    FullBacklogListener(const FullBacklogListener&) = delete;
    FullBacklogListener& operator=(const FullBacklogListener&) = delete;
    ~FullBacklogListener();

    // Listens on a free loopback port and connects to it until a connect no longer completes. False when the
    // queue could not be filled (the system keeps completing connections).
    [[nodiscard]] bool Start();
    // "http://127.0.0.1:<port>/".
    [[nodiscard]] std::wstring BaseUrl() const;

private:
    bool m_winsock = false;
    SOCKET m_listener = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    std::vector<SOCKET> m_clients;
};

}  // namespace testing_support
