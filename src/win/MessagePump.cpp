#include "win/MessagePump.h"

namespace win
{

bool PumpPendingMessages() noexcept
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

bool WaitWhilePumping(HANDLE handle, DWORD timeoutMs) noexcept
{
    const ULONGLONG start = ::GetTickCount64();
    for (;;)
    {
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
        PumpPendingMessages();
        ::Sleep(7);
        if (::WaitForSingleObject(handle, 0) != WAIT_TIMEOUT)
        {
            return true;
        }
        if (timeoutMs != INFINITE && ::GetTickCount64() - start >= timeoutMs)
        {
            return false;
        }
    }
}

}  // namespace win
