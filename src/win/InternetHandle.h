#pragma once
// The owner of WinINet handles (sessions, connections, requests).

#include <windows.h>
#include <wininet.h>

#include "win/Handle.h"

namespace win
{
namespace traits
{
struct Internet
{
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::InternetCloseHandle(h); }
};
}  // namespace traits

using InternetHandle = UniqueHandle<traits::Internet>;

}  // namespace win
