#include "Core/NorvixToolbarWindow.h"

#include "Core/Controller.h"
#include "toolbar/HostToolbarInterface.h"

namespace core
{

LRESULT NorvixToolbarWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = toolbar::XToolbarWindow::WindowProc(message, wParam, lParam);
    if (message == host::kMsgPreferences && wParam == 1)
    {
        if (auto* controller = dynamic_cast<core::Controller*>(Controller()))
        {
            controller->ReloadTextLabels();
        }
    }
    return result;
}

}  // namespace core
