#pragma once
// The owners of the common controls' objects: image lists and visual-style theme data.

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include "win/Handle.h"

namespace win
{
namespace traits
{
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
}  // namespace traits

using ImageListHandle = UniqueHandle<traits::ImageList>;
using ThemeHandle = UniqueHandle<traits::Theme>;

}  // namespace win
