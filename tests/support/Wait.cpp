#include "support/Wait.h"

#include "win/MessagePump.h"

#include <windows.h>

namespace testing_support
{

bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;)
    {
        win::PumpPendingMessages();
        if (condition())
        {
            return true;
        }
        if (::GetTickCount64() >= deadline)
        {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(unsigned ms)
{
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    while (::GetTickCount64() < deadline)
    {
        win::PumpPendingMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

}  // namespace testing_support
