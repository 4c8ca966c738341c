#pragma once
// Free functions the add-on needs inside the browser, whose protected mode lets an add-on write only to
// certain folders and registry branches: the writeable data folder and user branch, where the browser lives
// and which version it is, starting it, opening URLs and files, and the default browser. All run on the
// calling thread, keep no state and report failure by their result (FALSE, 0 or ""); a library or export
// that is missing is a failed step and the next fallback is taken. The last argument is the system they ask
// (the real one by default; tests hand in their own).

#include "platform/PlatformSystem.h"

#include <windows.h>

#include <string>

namespace platform
{

// The kinds of default browser GetDefaultBrowser tells apart.
constexpr int kBrowserOther = 256;
constexpr int kBrowserIE = 257;
constexpr int kBrowserMozilla = 258;
constexpr int kBrowserNetscape = 259;
constexpr int kBrowserOpera = 260;
constexpr int kBrowserFirefox = 261;

// The key of the toolbar's user values, below the (writeable) current-user branch.
inline constexpr wchar_t kToolbarUserKey[] = L"Software\\KelToolbar\\";
// The browser's tab settings, below the current-user branch.
inline constexpr wchar_t kTabbedBrowsingKey[] = L"Software\\Microsoft\\Internet Explorer\\TabbedBrowsing";

// A data folder the add-on may write to, "<folder>\<subfolder>\", created when missing. Tried in order: the
// browser's low-integrity folder (when lowIntegrity on Vista or later), the local (low) application-data
// known folder, the roaming application-data folder; when none exists or the subfolder cannot be created,
// the folder of this module.
[[nodiscard]] std::wstring GetWriteableFolder(
    const wchar_t* subfolder, BOOL lowIntegrity, PlatformSystem& system = SystemPlatform());

// A text value of the toolbar's user key ("Software\KelToolbar\" plus `subkey` when given) in the branch
// the browser lets the add-on write on Vista or later, else the current user's. At most 8191 characters are
// read; a longer value, a value of another type or a missing one gives FALSE and "".
BOOL ReadWriteableUserValue(
    const wchar_t* subkey, const wchar_t* valueName, std::wstring& value, PlatformSystem& system = SystemPlatform());

// The browser's executable path, from its automation server's registration or else from its open commands,
// without quotes or arguments and with the program-files placeholder expanded.
BOOL GetIEExecutablePath(std::wstring& path, PlatformSystem& system = SystemPlatform());

// The browser's major product version; 0 when it cannot be read.
[[nodiscard]] UINT GetIEMajorVersion(PlatformSystem& system = SystemPlatform());
// The browser's file version as "major.minor.build.revision".
BOOL GetIEVersionString(std::wstring& version, PlatformSystem& system = SystemPlatform());

// A browser frame window exists (window class "IEFrame").
[[nodiscard]] BOOL IsIEFrameOpen() noexcept;

// Starts the browser with a command line; empty arguments give FALSE.
BOOL StartIE(const wchar_t* arguments, PlatformSystem& system = SystemPlatform());

// Opens a URL with the shell's handler, or in the browser (useIE; starting it directly when its own launch
// call is missing or fails). With beepOnFailure a failure sounds the exclamation beep.
BOOL LaunchURL(const wchar_t* url, int show, BOOL beepOnFailure, BOOL useIE, PlatformSystem& system = SystemPlatform());

// Opens a file with its program (verb "open", hidden).
BOOL ShellOpen(const wchar_t* file, const wchar_t* parameters, PlatformSystem& system = SystemPlatform());

// The program that opens web pages and its kind (kBrowser...). TRUE whenever the program was found, also
// when it is none of the known ones (kBrowserOther).
BOOL GetDefaultBrowser(int& kind, std::wstring& path, PlatformSystem& system = SystemPlatform());
// The kind of browser an executable's path names (kBrowserOther for any other program).
[[nodiscard]] int BrowserKindOf(const std::wstring& executablePath);

// How the browser opens links from other programs ("ShortcutBehavior"); 1 when it is not set.
[[nodiscard]] int GetTabShortcutBehavior(PlatformSystem& system = SystemPlatform());

// True in a 32-bit process on 64-bit Windows.
[[nodiscard]] BOOL IsWow64(PlatformSystem& system = SystemPlatform());

}  // namespace platform
