#include "win/Module.h"

#include <cwchar>
#include <mutex>
#include <iterator>

namespace win
{

HMODULE ThisModule() noexcept
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring ModuleFileName(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
        {
            return {};
        }
        if (n < path.size())
        {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768)
        {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FolderOf(std::wstring_view path)
{
    const auto last = path.find_last_of(L"\\/");
    return last == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, last + 1));
}

HMODULE SystemLibrary(const wchar_t* fileName) noexcept
{
    // A handful of names, looked up under one lock; the references taken are kept for the process, since a
    // library may not be freed while the loader lock is held (as it is when this module unloads).
    struct Loaded
    {
        const wchar_t* name;
        HMODULE module;
    };
    static std::mutex lock;
    static Loaded loaded[8]{};
    const std::lock_guard guard(lock);
    for (const Loaded& entry : loaded)
    {
        if (entry.name && std::wcscmp(entry.name, fileName) == 0)
        {
            return entry.module;
        }
    }
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(0, fileName, &module))
    {
        module = LoadSystemLibrary(fileName).Release();
    }
    for (Loaded& entry : loaded)
    {
        if (!entry.name)
        {
            entry = {fileName, module};
            break;
        }
    }
    return module;
}

ModuleHandle LoadSystemLibrary(const wchar_t* fileName) noexcept
{
    ModuleHandle module(::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (module)
    {
        return module;
    }
    // Systems without the search flags refuse it with ERROR_INVALID_PARAMETER: name the file by its full path
    // in the system directory instead, which needs no search at all.
    wchar_t systemDir[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
    {
        return {};
    }
    std::wstring path(systemDir, n);
    path += L'\\';
    path += fileName;
    return ModuleHandle(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

ModuleScopedName::ModuleScopedName(const wchar_t* base) noexcept : text{}
{
    ::swprintf(text, std::size(text), L"%ls.%llX", base,
        static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(ThisModule())));
}

std::wstring LoadStringResource(HMODULE module, UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself, without a copy.
    const int n = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace win
