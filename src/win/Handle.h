#pragma once
// One move-only owner for every kind of handle, and the owners of the kernel's own kinds (objects, files,
// searches, modules, registry keys, local memory). A traits type names the raw type, its invalid value and how
// it is closed. The other families have headers of their own, so that a file pulls in only the SDK headers of
// what it holds: GdiHandles.h, UserHandles.h, ControlHandles.h, InternetHandle.h, TaskMemory.h, Socket.h.
// Reset keeps the thread's last error, so a failing call can close what it opened and still report why it
// failed.

#include <windows.h>

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
    [[nodiscard]] bool IsValid() const noexcept { return Holds(m_value); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Closes the held value (keeping GetLastError) and takes the new one.
    void Reset(Type value = Traits::Invalid()) noexcept
    {
        if (Holds(m_value))
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
    // A traits type whose kind has more than one "no handle" value says which values are handles.
    static bool Holds(Type value) noexcept
    {
        if constexpr (requires { Traits::IsValid(value); })
        {
            return Traits::IsValid(value);
        }
        else
        {
            return value != Traits::Invalid();
        }
    }

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
// CreateFile fails with INVALID_HANDLE_VALUE, but a file handle taken from elsewhere (a field left empty, a call
// that reports failure with null) may be null: neither is closed, neither counts as a file.
struct File
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FindFile
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct Module
{
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct RegistryKey
{
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
// Memory that the system allocated with LocalAlloc for the caller (FormatMessage's buffer).
struct LocalMemory
{
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};
}  // namespace traits

using KernelHandle = UniqueHandle<traits::Kernel>;
using FileHandle = UniqueHandle<traits::File>;
using FindHandle = UniqueHandle<traits::FindFile>;
using ModuleHandle = UniqueHandle<traits::Module>;
using RegKey = UniqueHandle<traits::RegistryKey>;
using LocalMemory = UniqueHandle<traits::LocalMemory>;

}  // namespace win
