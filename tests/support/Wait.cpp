#include "support/Wait.h"

#include "win/MessagePump.h"

#include <windows.h>

#include <memory>

namespace testing_support
{
namespace
{

LRESULT CALLBACK RunPosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
    {
        const std::unique_ptr<std::function<void()>> posted(reinterpret_cast<std::function<void()>*>(lParam));
        ::DestroyWindow(window);
        (*posted)();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

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

void PostToThisThread(std::function<void()> work)
{
    static const wchar_t kClass[] = L"NorvixTest.Post";
    WNDCLASSW windowClass{};
    windowClass.lpszClassName = kClass;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpfnWndProc = &RunPosted;
    ::RegisterClassW(&windowClass);
    const HWND window =
        ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (window)
    {
        ::PostMessageW(window, WM_APP, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(work))));
    }
}

}  // namespace testing_support
