#include "platform/PlatformSystem.h"

#include "platform/OSVersion.h"
#include "win/Module.h"
#include "win/Registry.h"
#include "win/TaskMemory.h"

#include <objbase.h>
#include <shellapi.h>

namespace platform
{

namespace
{

// The launch options of IELaunchURL in their oldest form: only the size and the process creation flags.
struct IELaunchInfo
{
    DWORD size;
    DWORD creationFlags;
};

using IEGetWriteableFolderPathFn = HRESULT(WINAPI*)(REFGUID, LPWSTR*);
using IEGetWriteableHKCUFn = HRESULT(WINAPI*)(HKEY*);
using IELaunchURLFn = HRESULT(WINAPI*)(LPCWSTR, PROCESS_INFORMATION*, void*);
using SHGetKnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);

constexpr DWORD kCreateKnownFolder = 0x8000;  // KF_FLAG_CREATE

}  // namespace

bool PlatformSystem::IsVistaOrLater()
{
    return platform::IsVistaOrLater() != FALSE;  // the free function, not this method
}

bool PlatformSystem::IsWow64()
{
    const HMODULE kernel = win::SystemLibrary(L"kernel32.dll");
    const auto isWow64Process = win::GetProc<IsWow64ProcessFn>(kernel, "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

std::wstring PlatformSystem::IEWriteableFolderPath(const KNOWNFOLDERID& folder)
{
    const HMODULE ieframe = win::SystemLibrary(L"ieframe.dll");
    const auto get = win::GetProc<IEGetWriteableFolderPathFn>(ieframe, "IEGetWriteableFolderPath");
    win::TaskMemory<wchar_t> path;
    if (!get || FAILED(get(folder, path.Put())) || !path)
    {
        return {};
    }
    return path.Get();
}

std::wstring PlatformSystem::KnownFolderPath(const KNOWNFOLDERID& folder)
{
    const HMODULE shell = win::SystemLibrary(L"shell32.dll");
    const auto get = win::GetProc<SHGetKnownFolderPathFn>(shell, "SHGetKnownFolderPath");
    win::TaskMemory<wchar_t> path;  // freed even when the call fails, as the call asks
    if (!get || FAILED(get(folder, kCreateKnownFolder, nullptr, path.Put())) || !path)
    {
        return {};
    }
    return path.Get();
}

std::wstring PlatformSystem::AppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE))
    {
        return {};
    }
    path[MAX_PATH - 1] = L'\0';
    return path;
}

bool PlatformSystem::CreateFolderTree(const std::wstring& path)
{
    if (path.empty())
    {
        return false;
    }
    // Each prefix that ends before a separator is a parent; the ones that exist already refuse quietly. Only
    // the result for the whole path counts.
    for (size_t i = path.find_first_of(L"\\/", 1); i != std::wstring::npos; i = path.find_first_of(L"\\/", i + 1))
    {
        if (path[i - 1] != L':' && path[i - 1] != L'\\' && path[i - 1] != L'/')
        {
            ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
    ::CreateDirectoryW(path.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring PlatformSystem::ModuleFolder()
{
    return win::FolderOf(win::ModuleFileName(win::ThisModule()));
}

win::RegKey PlatformSystem::IEWriteableUserRoot()
{
    const HMODULE ieframe = win::SystemLibrary(L"ieframe.dll");
    const auto get = win::GetProc<IEGetWriteableHKCUFn>(ieframe, "IEGetWriteableHKCU");
    win::RegKey root;
    if (!get || FAILED(get(root.Put())))
    {
        root.Reset();
    }
    return root;
}

HKEY PlatformSystem::CurrentUserRoot()
{
    return HKEY_CURRENT_USER;
}

bool PlatformSystem::ReadRegistryText(HKEY root, const std::wstring& path, REGSAM view, std::wstring& value)
{
    value.clear();
    const win::RegKey key = win::OpenRegKey(root, path, KEY_READ | view);
    return key && win::ReadRegString(key.Get(), nullptr, value);
}

std::wstring PlatformSystem::EnvironmentValue(const wchar_t* name)
{
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
    {
        return {};
    }
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size)
    {
        return {};
    }
    value.resize(length);
    return value;
}

INT_PTR PlatformSystem::RunShellExecute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, int show)
{
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, verb, file, parameters, nullptr, show));
}

INT_PTR PlatformSystem::FindExecutableFor(const wchar_t* document, std::wstring& executable)
{
    executable.clear();
    wchar_t path[MAX_PATH] = {};
    const INT_PTR result = reinterpret_cast<INT_PTR>(::FindExecutableW(document, nullptr, path));
    if (result > 32)
    {
        path[MAX_PATH - 1] = L'\0';
        executable = path;
    }
    return result;
}

bool PlatformSystem::LaunchURLInIE(const wchar_t* url)
{
    const HMODULE ieframe = win::SystemLibrary(L"ieframe.dll");
    const auto launch = win::GetProc<IELaunchURLFn>(ieframe, "IELaunchURL");
    if (!launch)
    {
        return false;
    }
    PROCESS_INFORMATION process{};
    IELaunchInfo info{sizeof(IELaunchInfo), 0};
    if (FAILED(launch(url, &process, &info)))
    {
        return false;
    }
    const win::KernelHandle processHandle(process.hProcess);
    const win::KernelHandle threadHandle(process.hThread);
    if (processHandle)
    {
        ::WaitForInputIdle(processHandle.Get(), 2000);
    }
    return true;
}

void PlatformSystem::Beep()
{
    ::MessageBeep(MB_ICONEXCLAMATION);
}

PlatformSystem& SystemPlatform() noexcept
{
    static PlatformSystem system;
    return system;
}

}  // namespace platform
