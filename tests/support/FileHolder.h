#pragma once
// A file held the way a busy process holds it: opened without sharing on a thread of its own and let go after a
// given time.

#include "win/Thread.h"

#include <memory>
#include <string>

namespace testing_support
{

// Holds `path` (which must exist) for `ms` milliseconds from now; once the thread has ended the file is free.
[[nodiscard]] std::unique_ptr<win::Thread> HoldFileFor(const std::wstring& path, DWORD ms);

}  // namespace testing_support
