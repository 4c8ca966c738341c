#pragma once
// Toolbar events between host windows. A host raises an event by sending WM_COPYDATA to every top-level
// window of the frame class on the desktop, its own windows and those of every other KelHost process. The
// payload is a small record (tag, number, name length, name); a receiver checks every field before it
// takes the event, since any process may send WM_COPYDATA. Receivers only queue the event: the control's
// OnEvent runs later from the receiving thread's own loop, never inside the sender's call.

#include "FireEventScript.h"

#include <windows.h>

#include <vector>

namespace kelhost
{

// The window class of a tab's top-level window; events go to every window of this class.
constexpr wchar_t kFrameClassName[] = L"KelHostFrame";

// The WM_COPYDATA record of one event.
[[nodiscard]] std::vector<BYTE> EncodeToolbarEvent(const ToolbarEvent& event);
// False when the data is not an event record or its name is not a valid event name.
[[nodiscard]] bool DecodeToolbarEvent(const COPYDATASTRUCT* data, ToolbarEvent& event);

// Sends the event to every frame window; the number of windows that took it. A window whose thread does
// not answer within a few seconds is skipped.
int BroadcastToolbarEvent(const ToolbarEvent& event, HWND sender);

}  // namespace kelhost
