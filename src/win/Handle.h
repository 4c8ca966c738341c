#pragma once
// One move-only owner for every kind of handle. A traits type names the raw type, its invalid value and how
// it is closed; the aliases below cover the kinds this add-on holds. Reset keeps the thread's last error, so
// a failing call can close what it opened and still report why it failed.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <uxtheme.h>
#include <wininet.h>

#include <utility>

namespace win
{

template <typename Traits>
class UniqueHandle
{
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : m_value(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
        {
            Reset(other.Release());
        }
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    [[nodiscard]] Type Get() const noexcept { return m_value; }
    [[nodiscard]] bool IsValid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Closes the held value (keeping GetLastError) and takes the new one.
    void Reset(Type value = Traits::Invalid()) noexcept
    {
        if (m_value != Traits::Invalid())
        {
            const DWORD lastError = ::GetLastError();
            Traits::Close(m_value);
            ::SetLastError(lastError);
        }
        m_value = value;
    }

    // Gives up ownership without closing.
    [[nodiscard]] Type Release() noexcept { return std::exchange(m_value, Traits::Invalid()); }

    // Closes the held value and gives the address for a function that writes a new one.
    [[nodiscard]] Type* Put() noexcept
    {
        Reset();
        return &m_value;
    }

private:
    Type m_value = Traits::Invalid();
};

namespace traits
{
struct Kernel
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct File
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct Internet
{
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::InternetCloseHandle(h); }
};
struct RegistryKey
{
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
struct Module
{
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
template <typename T>
struct GdiObject
{
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct MemoryDC
{
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};
struct Icon
{
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};
struct Window
{
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept
    {
        if (::IsWindow(h))
        {
            ::DestroyWindow(h);
        }
    }
};
struct FindFile
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct Region
{
    using Type = HRGN;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct ImageList
{
    using Type = HIMAGELIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::ImageList_Destroy(h); }
};
struct Theme
{
    using Type = HTHEME;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseThemeData(h); }
};
// Memory that the system allocated with LocalAlloc for the caller (FormatMessage's buffer).
struct LocalMemory
{
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};
// Memory of the COM task allocator (strings that system calls hand out).
template <typename T>
struct TaskMemory
{
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { ::CoTaskMemFree(p); }
};
}  // namespace traits

using KernelHandle = UniqueHandle<traits::Kernel>;
using FileHandle = UniqueHandle<traits::File>;
using InternetHandle = UniqueHandle<traits::Internet>;
using RegKey = UniqueHandle<traits::RegistryKey>;
using ModuleHandle = UniqueHandle<traits::Module>;
using Font = UniqueHandle<traits::GdiObject<HFONT>>;
using Bitmap = UniqueHandle<traits::GdiObject<HBITMAP>>;
using Brush = UniqueHandle<traits::GdiObject<HBRUSH>>;
using Pen = UniqueHandle<traits::GdiObject<HPEN>>;
using RegionHandle = UniqueHandle<traits::Region>;
using MemoryDC = UniqueHandle<traits::MemoryDC>;
using IconHandle = UniqueHandle<traits::Icon>;
using WindowHandle = UniqueHandle<traits::Window>;
using FindHandle = UniqueHandle<traits::FindFile>;
using ImageListHandle = UniqueHandle<traits::ImageList>;
using ThemeHandle = UniqueHandle<traits::Theme>;
using LocalMemory = UniqueHandle<traits::LocalMemory>;
template <typename T>
using TaskMemory = UniqueHandle<traits::TaskMemory<T>>;

}  // namespace win
