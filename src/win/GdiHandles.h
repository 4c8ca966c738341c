#pragma once
// The owners of GDI objects: fonts, bitmaps, brushes, pens, regions and memory device contexts.

#include "win/Handle.h"

namespace win
{
namespace traits
{
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
}  // namespace traits

using Font = UniqueHandle<traits::GdiObject<HFONT>>;
using Bitmap = UniqueHandle<traits::GdiObject<HBITMAP>>;
using Brush = UniqueHandle<traits::GdiObject<HBRUSH>>;
using Pen = UniqueHandle<traits::GdiObject<HPEN>>;
using RegionHandle = UniqueHandle<traits::GdiObject<HRGN>>;
using MemoryDC = UniqueHandle<traits::MemoryDC>;

}  // namespace win
