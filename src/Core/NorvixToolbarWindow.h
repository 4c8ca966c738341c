#pragma once
// NorvixToolbarWindow: the product's subclass of the host's toolbar window. Besides the framework's work it
// answers the host's preference message (3028 with wParam 1) by reading the text-labels preference again
// and refreshing the status buttons. UI thread; owned by the control.

#include "toolbar/XToolbarWindow.h"

namespace core
{

class NorvixToolbarWindow final : public toolbar::XToolbarWindow
{
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace core
