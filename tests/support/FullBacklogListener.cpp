#include "support/FullBacklogListener.h"

#include <ws2tcpip.h>

namespace testing_support
{

FullBacklogListener::~FullBacklogListener()
{
    for (const SOCKET client : m_clients)
    {
        ::closesocket(client);
    }
    if (m_listener != INVALID_SOCKET)
    {
        ::closesocket(m_listener);
    }
    if (m_winsock)
    {
        ::WSACleanup();
    }
}

bool FullBacklogListener::Start()
{
    WSADATA data{};
    m_winsock = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (!m_winsock || m_listener == INVALID_SOCKET ||
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, 0) != 0 || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        return false;
    }
    m_port = ::ntohs(address.sin_port);
    // Non-blocking connects until one does not complete at once: a connect that the queue takes completes at
    // once; one whose SYN was dropped is retried by the system only after a second.
    for (u_long nonBlocking = 1; m_clients.size() < 64;)
    {
        const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (client == INVALID_SOCKET)
        {
            return false;
        }
        m_clients.push_back(client);
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(client, &writable);
        timeval wait{0, 500 * 1000};
        if (::ioctlsocket(client, FIONBIO, &nonBlocking) != 0 ||
            (::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
                ::WSAGetLastError() != WSAEWOULDBLOCK))
        {
            return false;
        }
        if (::select(0, nullptr, &writable, nullptr, &wait) != 1)
        {
            return true;
        }
    }
    return false;
}

std::wstring FullBacklogListener::BaseUrl() const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/";
}

}  // namespace testing_support
