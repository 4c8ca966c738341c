#pragma once
// Waiting on the UI thread for another thread that may itself be waiting on the UI thread: a worker that
// updates a window of the UI thread sends it a message, which is delivered only while the UI thread
// retrieves messages. So the UI thread never blocks plainly on such a handle; it pumps in short steps.

#include <windows.h>

namespace win
{

// Dispatches every message waiting in the calling thread's queue. Returns false when WM_QUIT was met; it is
// posted again so that the thread's own loop still sees it.
bool PumpPendingMessages() noexcept;

// Waits until `handle` is signalled while the calling thread's messages keep flowing: each step posts a null
// message to the thread itself (so sent and posted messages are looked at even on an idle queue), pumps,
// sleeps 7 ms and tests the handle with a time-out of 0. True when the handle was signalled; false when
// `timeoutMs` ran out first (INFINITE waits for ever).
bool WaitWhilePumping(HANDLE handle, DWORD timeoutMs = INFINITE) noexcept;

}  // namespace win
