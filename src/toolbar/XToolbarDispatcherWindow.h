#pragma once
// XToolbarDispatcherWindow: the hidden window through which other threads hand work to a control's UI
// thread. A thread posts the registered message "TOOLBAR_PROCESS_CONTROLLER_MESSAGE" (wParam 0, lParam the
// caller's value); the window passes lParam to its owner's ProcessControllerMessage, in posting order, on
// the thread that created it. The controller owns the window and links it; a message that arrives after
// the owner was unlinked is dropped. Also home of the framework's registered window messages.

#include "win/Window.h"

namespace toolbar
{

class XToolbarController;

// "TOOLBAR_PROCESS_CONTROLLER_MESSAGE", registered on first use and kept for the module's life.
[[nodiscard]] UINT ToolbarProcessControllerMessage() noexcept;
// "WM_TOOLBAR_POST_START_UP_EVENT": posted by StartUp to the host's toolbar window.
[[nodiscard]] UINT ToolbarPostStartUpMessage() noexcept;

class XToolbarDispatcherWindow final : public win::Window
{
public:
    void SetOwner(XToolbarController* owner) noexcept { m_owner = owner; }

    // Registers a class of that name unless one exists (CS_DBLCLKS, arrow cursor, null brush, default
    // procedure) and creates the hidden popup. False when either fails.
    [[nodiscard]] bool CreateHidden(const std::wstring& className) noexcept;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    XToolbarController* m_owner = nullptr;
};

}  // namespace toolbar
