#pragma once
// How many threads a process runs, for tests that check that something does not pile threads up.

#include <windows.h>

#include <cstddef>

namespace testing_support
{

// The threads of the process `processId` (this one by default); 0 when they cannot be listed.
[[nodiscard]] std::size_t ThreadCount(DWORD processId = ::GetCurrentProcessId());

}  // namespace testing_support
