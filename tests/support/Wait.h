#pragma once
// Waiting for a condition in tests: polls with a generous deadline while the calling thread's messages keep
// flowing, so windows of the test thread stay responsive. Never a fixed sleep to synchronise.

#include <functional>

namespace testing_support
{

// True as soon as `condition` holds; false when `timeoutMs` ran out first.
bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs = 10000);

// Pumps the calling thread's messages for about `ms` milliseconds (to let posted work run, not to wait for
// another thread).
void PumpFor(unsigned ms);

// Runs `work` on the calling thread the next time its messages are pumped (a message posted to a window of its
// own), as a host's call would come in while the thread pumps.
void PostToThisThread(std::function<void()> work);

}  // namespace testing_support
