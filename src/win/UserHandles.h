#pragma once
// The owners of window-manager objects: windows (destroyed only while they still exist) and icons.

#include "win/Handle.h"

namespace win
{
namespace traits
{
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
struct Icon
{
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};
}  // namespace traits

using WindowHandle = UniqueHandle<traits::Window>;
using IconHandle = UniqueHandle<traits::Icon>;

}  // namespace win
