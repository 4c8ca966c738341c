#pragma once
// XBubbleOwner: what a balloon window needs from the toolbar control that shows it: its texts, the screen
// rectangle of the button it points at, the host's toolbar window and the browser window. The toolbar
// control implements it. GetButtonScreenRect is also called from the balloon's tracking thread; it only
// sends messages to the toolbar window, which the system delivers on the toolbar's thread.

#include "platform/HostStrings.h"

#include <windows.h>

#include <string>

namespace ui
{

class XBubbleOwner : public platform::HostStrings
{
public:
    // The button's rectangle in screen coordinates; an empty rectangle when the button or toolbar is missing.
    [[nodiscard]] virtual RECT GetButtonScreenRect(const std::wstring& buttonName) = 0;
    // The host's toolbar window, or null when not attached.
    [[nodiscard]] virtual HWND GetToolbarHwnd() = 0;
    // The browser's window; the foreground window when the browser's is not a window.
    [[nodiscard]] virtual HWND GetBrowserHwnd() = 0;
};

}  // namespace ui
