#include "platform/BrowserUtilities.h"

#include "platform/XVersionInfo.h"
#include "win/Registry.h"
#include "win/Strings.h"

#include <cwchar>
#include <iterator>

namespace platform
{

namespace
{

constexpr size_t kUserValueChars = 8192;

// The registry view that is not the process's own.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring WithBackslash(std::wstring path)
{
    if (!path.empty() && path.back() != L'\\')
    {
        path += L'\\';
    }
    return path;
}

// Finds the browser's registered command line: its automation server first (in the process's own registry
// view, then in the other), then the open commands of its start-menu entry and its application entry.
// `fromDefaultView` tells whether the server's class id came from the process's own view.
bool ReadIECommand(PlatformSystem& system, std::wstring& command, bool& fromDefaultView)
{
    static constexpr wchar_t kServerClassKey[] = L"Software\\Classes\\InternetExplorer.Application\\CLSID";
    std::wstring clsid;
    REGSAM view = 0;
    if (system.ReadRegistryText(HKEY_LOCAL_MACHINE, kServerClassKey, 0, clsid) && !clsid.empty())
    {
        fromDefaultView = true;
    }
    else if (system.ReadRegistryText(HKEY_LOCAL_MACHINE, kServerClassKey, kOtherView, clsid) && !clsid.empty())
    {
        fromDefaultView = false;
        view = kOtherView;
    }
    else
    {
        return false;
    }
    if (system.ReadRegistryText(
            HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + clsid + L"\\LocalServer32", view, command) &&
        !command.empty())
    {
        return true;
    }
    struct Fallback
    {
        HKEY root;
        const wchar_t* path;
    };
    static const Fallback kFallbacks[] = {
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command"},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Applications\\iexplore.exe\\shell\\open\\command"},
        {HKEY_CLASSES_ROOT, L"Applications\\iexplore.exe\\shell\\open\\command"},
    };
    for (const auto& fallback : kFallbacks)
    {
        if (system.ReadRegistryText(fallback.root, fallback.path, 0, command) && !command.empty())
        {
            return true;
        }
    }
    return false;
}

std::wstring QuotesToBlanksTrimmed(const std::wstring& text)
{
    return win::Trim(win::ReplaceAll(text, L"\"", L" "));
}

}  // namespace

std::wstring GetWriteableFolder(const wchar_t* subfolder, BOOL lowIntegrity, PlatformSystem& system)
{
    std::wstring path;
    if (lowIntegrity && system.IsVistaOrLater())
    {
        path = system.IEWriteableFolderPath(FOLDERID_LocalAppDataLow);
    }
    if (path.empty())
    {
        path = system.KnownFolderPath(lowIntegrity ? FOLDERID_LocalAppDataLow : FOLDERID_LocalAppData);
    }
    if (path.empty())
    {
        path = system.AppDataFolder();
    }
    if (!path.empty())
    {
        path = WithBackslash(std::move(path));
        if (subfolder && *subfolder)
        {
            path += subfolder;
            path += L'\\';
        }
        if (!system.CreateFolderTree(path.substr(0, path.size() - 1)))
        {
            path.clear();
        }
    }
    if (path.empty())
    {
        path = WithBackslash(system.ModuleFolder());
    }
    return path;
}

BOOL ReadWriteableUserValue(
    const wchar_t* subkey, const wchar_t* valueName, std::wstring& value, PlatformSystem& system)
{
    value.clear();
    std::wstring keyPath = kToolbarUserKey;
    if (subkey)
    {
        keyPath += subkey;
    }
    win::RegKey writeableRoot;
    if (system.IsVistaOrLater())
    {
        writeableRoot = system.IEWriteableUserRoot();
    }
    const HKEY root = writeableRoot ? writeableRoot.Get() : system.CurrentUserRoot();
    const win::RegKey key = win::OpenRegKey(root, keyPath, KEY_READ);
    // The read is bounded by the buffer and always terminated in it, whatever length or type was stored.
    return key && win::ReadRegString(key.Get(), valueName, value, kUserValueChars) ? TRUE : FALSE;
}

BOOL GetIEExecutablePath(std::wstring& path, PlatformSystem& system)
{
    path.clear();
    std::wstring command;
    bool fromDefaultView = false;
    if (!ReadIECommand(system, command, fromDefaultView))
    {
        return FALSE;
    }
    // Commands quote the path and may add arguments after it: keep the path up to the program's name.
    std::wstring text = QuotesToBlanksTrimmed(command);
    static constexpr std::wstring_view kProgram = L"IEXPLORE.EXE";
    const size_t at = win::ToUpper(text).find(kProgram);
    if (at != std::wstring::npos)
    {
        text = win::Trim(std::wstring_view(text).substr(0, at + kProgram.size()));
    }
    const bool x86Folder = fromDefaultView && system.IsWow64();
    const wchar_t* placeholder = x86Folder ? L"%ProgramFiles(x86)%" : L"%ProgramFiles%";
    const std::wstring folder = system.EnvironmentValue(x86Folder ? L"ProgramFiles(x86)" : L"ProgramFiles");
    if (!folder.empty())
    {
        text = win::ReplaceAll(text, placeholder, folder);
    }
    path = QuotesToBlanksTrimmed(text);
    return path.empty() ? FALSE : TRUE;
}

UINT GetIEMajorVersion(PlatformSystem& system)
{
    std::wstring path;
    if (!GetIEExecutablePath(path, system))
    {
        return 0;
    }
    XVersionInfo version;
    VS_FIXEDFILEINFO info;
    if (!version.Load(path.c_str()) || !version.GetFixedInfo(info))
    {
        return 0;
    }
    return HIWORD(info.dwProductVersionMS);
}

BOOL GetIEVersionString(std::wstring& versionText, PlatformSystem& system)
{
    versionText.clear();
    std::wstring path;
    if (!GetIEExecutablePath(path, system))
    {
        return FALSE;
    }
    XVersionInfo version;
    if (!version.Load(path.c_str()))
    {
        return FALSE;
    }
    versionText = version.GetFileVersionText(/*commas=*/FALSE);
    return versionText.empty() ? FALSE : TRUE;
}

BOOL IsIEFrameOpen() noexcept
{
    return ::FindWindowW(L"IEFrame", nullptr) != nullptr;
}

BOOL StartIE(const wchar_t* arguments, PlatformSystem& system)
{
    if (!arguments || !*arguments)
    {
        return FALSE;
    }
    std::wstring path;
    if (!GetIEExecutablePath(path, system))
    {
        return FALSE;
    }
    return system.RunShellExecute(L"open", path.c_str(), arguments, SW_SHOWDEFAULT) > 32 ? TRUE : FALSE;
}

BOOL LaunchURL(const wchar_t* url, int show, BOOL beepOnFailure, BOOL useIE, PlatformSystem& system)
{
    bool launched = false;
    if (url && *url)
    {
        if (useIE)
        {
            launched = system.LaunchURLInIE(url) || StartIE(url, system);
        }
        else
        {
            launched = system.RunShellExecute(L"open", url, nullptr, show) > 32;
        }
    }
    if (!launched && beepOnFailure)
    {
        system.Beep();
    }
    return launched ? TRUE : FALSE;
}

BOOL ShellOpen(const wchar_t* file, const wchar_t* parameters, PlatformSystem& system)
{
    if (!file || !*file)
    {
        return FALSE;
    }
    return system.RunShellExecute(L"open", file, parameters, SW_HIDE) > 32 ? TRUE : FALSE;
}

int BrowserKindOf(const std::wstring& executablePath)
{
    wchar_t name[_MAX_FNAME] = {};
    if (::_wsplitpath_s(executablePath.c_str(), nullptr, 0, nullptr, 0, name, std::size(name), nullptr, 0) != 0)
    {
        return kBrowserOther;
    }
    struct Known
    {
        const wchar_t* name;
        int kind;
    };
    static const Known kKnown[] = {
        {L"iexplore", kBrowserIE},
        {L"netscp", kBrowserNetscape},
        {L"mozilla", kBrowserMozilla},
        {L"firefox", kBrowserFirefox},
        {L"opera", kBrowserOpera},
    };
    for (const auto& known : kKnown)
    {
        if (win::EqualsNoCase(name, known.name))
        {
            return known.kind;
        }
    }
    return kBrowserOther;
}

BOOL GetDefaultBrowser(int& kind, std::wstring& path, PlatformSystem& system)
{
    kind = kBrowserOther;
    path.clear();
    // The shell names the program for a document, so ask it about a small page of our own.
    wchar_t tempFolder[MAX_PATH + 1] = {};
    const DWORD folderLength = ::GetTempPathW(MAX_PATH + 1, tempFolder);
    wchar_t tempName[MAX_PATH] = {};
    if (folderLength == 0 || folderLength > MAX_PATH || ::GetTempFileNameW(tempFolder, L"Kel", 0, tempName) == 0)
    {
        return FALSE;
    }
    // GetTempFileNameW created a file of that name, which keeps the name ours until the page is gone.
    const std::wstring page = std::wstring(tempName) + L".htm";
    INT_PTR result = 0;
    {
        win::FileHandle file(
            ::CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!file)
        {
            ::DeleteFileW(tempName);
            return FALSE;
        }
        static constexpr char kPage[] = "<html></html>";
        DWORD written = 0;
        const bool wrote =
            ::WriteFile(file.Get(), kPage, sizeof(kPage) - 1, &written, nullptr) && written == sizeof(kPage) - 1;
        file.Reset();
        if (wrote)
        {
            result = system.FindExecutableFor(page.c_str(), path);
        }
    }
    ::DeleteFileW(page.c_str());
    ::DeleteFileW(tempName);
    if (result <= 32)
    {
        path.clear();
        return FALSE;
    }
    kind = BrowserKindOf(path);
    return TRUE;
}

int GetTabShortcutBehavior(PlatformSystem& system)
{
    const win::RegKey key = win::OpenRegKey(system.CurrentUserRoot(), kTabbedBrowsingKey, KEY_READ);
    DWORD value = 0;
    return key && win::ReadRegDword(key.Get(), L"ShortcutBehavior", value) ? static_cast<int>(value) : 1;
}

BOOL IsWow64(PlatformSystem& system)
{
    return system.IsWow64() ? TRUE : FALSE;
}

}  // namespace platform
