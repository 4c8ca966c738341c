#pragma once
// XToolbarWindow: the subclass of the host's toolbar window. It keeps the overlay buttons placed over their
// host items and repainted, answers the host's relayout request (3055) with the add-on's layout, runs the
// layout on 3034 (passing only (0, 1) on to the host), notes the window's destruction in the controller and
// runs the controller's PostStartUp when the start-up message arrives. Owned by the controller; lives on
// the toolbar's thread. A product may derive from it.

#include "win/Window.h"

namespace toolbar
{

class XToolbarController;

class XToolbarWindow : public win::Window
{
public:
    void SetController(XToolbarController* controller) noexcept { m_controller = controller; }
    [[nodiscard]] XToolbarController* Controller() const noexcept { return m_controller; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    XToolbarController* m_controller = nullptr;
};

}  // namespace toolbar
