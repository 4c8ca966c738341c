#include "toolbar/XToolbarDispatcherWindow.h"

#include "toolbar/XToolbarController.h"
#include "win/FailureReport.h"
#include "win/Module.h"

UINT ToolbarProcessControllerMessage() noexcept
{
    static const UINT message = ::RegisterWindowMessageW(L"TOOLBAR_PROCESS_CONTROLLER_MESSAGE");
    return message;
}

UINT ToolbarPostStartUpMessage() noexcept
{
    static const UINT message = ::RegisterWindowMessageW(L"WM_TOOLBAR_POST_START_UP_EVENT");
    return message;
}

bool XToolbarDispatcherWindow::CreateHidden(const std::wstring& className) noexcept
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = win::ThisModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = className.c_str();
    if (className.empty() || !RegisterClassOnce(windowClass))
    {
        return false;
    }
    return Create(
        0, className.c_str(), nullptr, WS_POPUP, RECT{0, 0, 1, 1}, ::GetDesktopWindow(), 0, win::ThisModule());
}

LRESULT XToolbarDispatcherWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == ToolbarProcessControllerMessage() && message != 0)
    {
        // The owner's work calls into the host, which may end the control from there (a tab closed inside a
        // settings read or the event's script): a reference keeps the control alive until the work returns. Its
        // release may be the last and destroy this window object with the control, so nothing of this object is
        // touched after it, and nothing may throw past it.
        if (XToolbarController* owner = m_owner)
        {
            owner->InternalAddRef();
            try
            {
                owner->ProcessControllerMessage(lParam);
            }
            catch (...)
            {
                // Work that failed (out of memory) is dropped like a message that never came.
                (void)WIN_REPORT_CAUGHT("ProcessControllerMessage");
            }
            owner->InternalRelease();
        }
        return 0;
    }
    return Default(message, wParam, lParam);
}
