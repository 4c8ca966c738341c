#pragma once
// SocketHandle: the owner of a Winsock socket, in the same form as the handle owners of win/Handle.h. A
// header of its own, so that only its users pull in Winsock (and link ws2_32).

#include <winsock2.h>

#include "win/Handle.h"

namespace win
{
namespace traits
{
struct Socket
{
    using Type = SOCKET;
    static Type Invalid() noexcept { return INVALID_SOCKET; }
    static void Close(Type s) noexcept { ::closesocket(s); }
};
}  // namespace traits

using SocketHandle = UniqueHandle<traits::Socket>;

}  // namespace win
