#pragma once
// A thread that nobody waits for: it runs a body and ends by itself. It holds a reference to the module whose
// code it runs and gives it back only as its very last act (FreeLibraryAndExitThread), so the module may be
// released by its host while the body still runs without being unloaded under it.
//
// For work whose end cannot be bounded (a connect that the system keeps trying, a close that reads on for as
// long as data arrives) and that must not hold its caller. Any thread may start one.
// NOTE: the body must own everything it touches; its caller may be long gone when it runs.

#include <functional>

namespace win
{

// Starts `body` on a thread of its own. False (and nothing runs) when the thread cannot be created.
[[nodiscard]] bool StartDetachedThread(std::function<void()> body) noexcept;

}  // namespace win
