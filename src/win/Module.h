#pragma once
// The module that holds this code, and safe loading of system libraries.

#include "win/Handle.h"

#include <string>

namespace win
{

// The module (DLL or EXE) that contains this code, found from an address inside it.
[[nodiscard]] HMODULE ThisModule() noexcept;

// Full path of a module's file; "" on failure.
[[nodiscard]] std::wstring ModuleFileName(HMODULE module);

// The folder of a path: everything up to and including its last separator ("" when it has none).
[[nodiscard]] std::wstring FolderOf(std::wstring_view path);

// Loads a library from the system directory only. A bare name given to LoadLibrary is searched for in the
// application's folder and the current directory first, where a planted file of that name would be loaded
// into the browser. The process's DLL search path is left as it is.
[[nodiscard]] ModuleHandle LoadSystemLibrary(const wchar_t* fileName) noexcept;

// A system library the caller keeps using for the life of the process (ieframe.dll, shell32.dll): loaded once
// from the system directory, or taken as it is when the process has it loaded already (as a browser has), and
// never freed. Looking up an export through it costs no load and no unload per call. Null when the library
// cannot be loaded. Any thread. NOTE: `fileName` is kept, so it must be a literal.
[[nodiscard]] HMODULE SystemLibrary(const wchar_t* fileName) noexcept;

// An export of a module as a typed function pointer; null when the module or the export is missing.
template <typename F>
[[nodiscard]] F GetProc(HMODULE module, const char* name) noexcept
{
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

// `base` made unique to this module (its load address appended), for names that two modules of one process
// must not share, such as the window property that binds a window to an object of this module. A base too
// long for the fixed buffer is cut.
struct ModuleScopedName
{
    explicit ModuleScopedName(const wchar_t* base) noexcept;
    wchar_t text[80];
};

// A string from a module's string table; "" when it has none with that id.
[[nodiscard]] std::wstring LoadStringResource(HMODULE module, UINT id);

}  // namespace win
