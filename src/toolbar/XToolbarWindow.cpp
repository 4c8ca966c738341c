#include "toolbar/XToolbarWindow.h"

#include "toolbar/HostToolbarInterface.h"
#include "toolbar/XToolbarButtonControl.h"
#include "toolbar/XToolbarController.h"
#include "toolbar/XToolbarDispatcherWindow.h"
#include "win/Scope.h"

#include <commctrl.h>

#include <vector>

namespace toolbar
{

LRESULT XToolbarWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    XToolbarController* const controller = m_controller;
    if (!controller)
    {
        return Default(message, wParam, lParam);
    }

    // Overlays under the part the host is about to paint; they repaint after it, so they stay on top.
    std::vector<HWND> toRepaint;
    switch (message)
    {
    case WM_PAINT:
    {
        RECT update{};
        if (::GetUpdateRect(Hwnd(), &update, FALSE) && !::IsRectEmpty(&update))
        {
            for (const auto& button : controller->ButtonControls())
            {
                const int index = controller->GetButtonIndex(button->Name());
                RECT item{};
                RECT common{};
                if (index >= 0 && button->IsWindow() &&
                    ::SendMessageW(
                        Hwnd(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) &&
                    ::IntersectRect(&common, &item, &update))
                {
                    toRepaint.push_back(button->Hwnd());
                }
            }
        }
        break;
    }
    case WM_DESTROY:
        controller->SetShuttingDown(TRUE);
        controller->ForgetToolbarHwnd();
        break;
    case host::kMsgRelayout:
        if (wParam == 1)
        {
            ::SendMessageW(Hwnd(), host::kMsgLayout, 0, 1);
            return 1;
        }
        break;
    case host::kMsgLayout:
        controller->LayoutToolbar();
        if (!(wParam == 0 && lParam == 1))
        {
            return 1;
        }
        break;
    default: break;
    }

    const LRESULT result = Default(message, wParam, lParam);

    switch (message)
    {
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_SIZE:
    case WM_EXITSIZEMOVE:
    case TB_HIDEBUTTON: controller->PlaceButtonControls(); break;
    case WM_PAINT:
        for (const HWND button : toRepaint)
        {
            if (::IsWindow(button))
            {
                ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            }
        }
        break;
    default:
        if (message == ToolbarPostStartUpMessage() && message != 0)
        {
            // The post-start-up asks the host for texts, and the host may release the control from there: a
            // reference keeps it alive until the work returns. Its release may destroy this object with the
            // control, so nothing of this object is touched after it.
            controller->InternalAddRef();
            const win::ScopeExit release([controller]() noexcept { controller->InternalRelease(); });
            controller->PostStartUp();
        }
        break;
    }
    return result;
}

}  // namespace toolbar
