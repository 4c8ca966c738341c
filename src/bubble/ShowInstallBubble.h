#pragma once
// The once-per-user showing of the install bubble, run by the toolbar control after its start-up. The state
// file records whether the bubble is still to be shown; the flag is cleared and saved before the bubble is
// made, so a crash or a closed browser never shows it twice, and a failed save only means it shows again
// next time. The caller owns the file object and the bubble (both are replaced here) and deletes the bubble
// at its shutdown. UI thread; an exception (out of memory) goes to the caller.

#include "bubble/InstallBubbleDialog.h"
#include "bubble/XToolbarBubbleConfigFile.h"

#include <memory>
#include <string>

namespace bubble
{

// The state file's name inside the toolbar's writable folder ("KelToolbar").
inline constexpr wchar_t kInstallBubbleFileName[] = L"Norvix.install-bubble.config";

// Opens and loads the file at `path` (a missing or damaged one becomes the default record), and unless the
// bubble was shown already, saves the cleared flag and creates the bubble owned by `parent`. An open bubble
// of this control is destroyed first. `bubble` receives the new bubble only once it is made (the host's answers
// to its text reads run meanwhile). True when a bubble was created.
bool ShowInstallBubbleOnce(ui::XBubbleOwner& owner, HWND parent, const std::wstring& path,
    std::unique_ptr<XToolbarBubbleConfigFile>& file, std::unique_ptr<InstallBubbleDialog>& bubble);

}  // namespace bubble
