#pragma once
// Thread: a worker thread that its owner creates suspended, resumes, and joins. It never deletes itself; the
// handle stays valid until the object goes, so an owner can test it with a zero time-out while it pumps its
// own messages (see WaitWhilePumping).
// NOTE: the owner must let the body end before destroying the object; the destructor waits for it as a last
// resort, which blocks without pumping.

#include "win/Handle.h"

#include <functional>

namespace win
{

class Thread
{
public:
    using Body = std::function<DWORD()>;

    explicit Thread(Body body) : m_body(std::move(body)) {}
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    // Creates the thread suspended. False when it cannot be created (GetLastError holds why).
    [[nodiscard]] bool Create(int priority = THREAD_PRIORITY_NORMAL) noexcept;
    [[nodiscard]] bool Resume() noexcept;
    // True once the thread has ended (or was never created).
    [[nodiscard]] bool Wait(DWORD timeoutMs) const noexcept;
    [[nodiscard]] bool HasEnded() const noexcept { return Wait(0); }
    [[nodiscard]] HANDLE Handle() const noexcept { return m_handle.Get(); }
    [[nodiscard]] DWORD Id() const noexcept { return m_id; }
    // The body's result once ended; STILL_ACTIVE before.
    [[nodiscard]] DWORD ExitCode() const noexcept;

private:
    static unsigned __stdcall Start(void* self) noexcept;

    Body m_body;
    KernelHandle m_handle;
    DWORD m_id = 0;
};

}  // namespace win
