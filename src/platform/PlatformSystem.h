#pragma once
// PlatformSystem: the system calls behind the browser and shell utilities (BrowserUtilities.h), one virtual
// step each. The utilities take one as their last argument and default to SystemPlatform(), which asks the
// real system; tests derive from PlatformSystem and override the steps they want to fake or make fail, so
// every fallback can be reached on any machine. A step reports failure by an empty text, false, an invalid
// key or a shell result of 32 or less, and never raises. Stateless: any thread may call it.
//
// Libraries of the system ("ieframe.dll", "shell32.dll", "kernel32.dll") are loaded from the system
// directory only and released after each step; the process's DLL search path is never changed.

#include "win/Handle.h"

#include <shlobj.h>
#include <windows.h>

#include <string>

namespace platform
{

class PlatformSystem
{
public:
    virtual ~PlatformSystem() = default;

    // Major version 6 or more.
    [[nodiscard]] virtual bool IsVistaOrLater();
    // True in a 32-bit process on 64-bit Windows; false when the system cannot say.
    [[nodiscard]] virtual bool IsWow64();

    // The browser's writeable folder for `folder` ("IEGetWriteableFolderPath" of ieframe.dll).
    [[nodiscard]] virtual std::wstring IEWriteableFolderPath(const KNOWNFOLDERID& folder);
    // "SHGetKnownFolderPath" of shell32.dll, creating the folder when it is missing.
    [[nodiscard]] virtual std::wstring KnownFolderPath(const KNOWNFOLDERID& folder);
    // The roaming application-data folder, created when missing.
    [[nodiscard]] virtual std::wstring AppDataFolder();
    // Creates a folder with every missing parent; true when it exists afterwards.
    [[nodiscard]] virtual bool CreateFolderTree(const std::wstring& path);
    // The folder of the module that holds this code, ending in a backslash.
    [[nodiscard]] virtual std::wstring ModuleFolder();

    // The browser's writeable current-user branch ("IEGetWriteableHKCU" of ieframe.dll); owned by the caller.
    [[nodiscard]] virtual win::RegKey IEWriteableUserRoot();
    // The current user's branch. NOTE: not owned; never closed by the caller.
    [[nodiscard]] virtual HKEY CurrentUserRoot();

    // The default value of a key as text, read in a registry view (0 for the process's own,
    // KEY_WOW64_32KEY or KEY_WOW64_64KEY).
    [[nodiscard]] virtual bool ReadRegistryText(HKEY root, const std::wstring& path, REGSAM view, std::wstring& value);
    // An environment variable's value; "" when it is not set.
    [[nodiscard]] virtual std::wstring EnvironmentValue(const wchar_t* name);

    // ShellExecuteW; its result (above 32 on success).
    virtual INT_PTR RunShellExecute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, int show);
    // FindExecutableW for a document; its result, with the program's path in `executable` on success.
    virtual INT_PTR FindExecutableFor(const wchar_t* document, std::wstring& executable);
    // "IELaunchURL" of ieframe.dll; on success waits up to 2 s for the new process to be idle.
    virtual bool LaunchURLInIE(const wchar_t* url);
    // The exclamation sound.
    virtual void Beep();
};

// The real system.
[[nodiscard]] PlatformSystem& SystemPlatform() noexcept;

}  // namespace platform
