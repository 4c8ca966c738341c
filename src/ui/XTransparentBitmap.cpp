#include "ui/XTransparentBitmap.h"

#include "win/Module.h"

#include <cstdlib>

namespace ui
{

bool XTransparentBitmap::Load(UINT resourceId, HMODULE module) noexcept
{
    Clear();
    if (resourceId == 0)
    {
        return false;
    }
    m_resourceId = resourceId;
    m_module = module ? module : win::ThisModule();
    return LoadFrom(m_module, MAKEINTRESOURCEW(resourceId));
}

bool XTransparentBitmap::LoadNamed(const wchar_t* name, HMODULE module) noexcept
{
    Clear();
    if (!name || !*name)
    {
        return false;
    }
    m_name = name;
    m_module = module ? module : win::ThisModule();
    return LoadFrom(m_module, name);
}

bool XTransparentBitmap::Reload() noexcept
{
    const HMODULE module = m_module;
    if (m_resourceId != 0)
    {
        return Load(m_resourceId, module);
    }
    if (m_name)
    {
        return LoadNamed(m_name, module);
    }
    return false;
}

void XTransparentBitmap::Clear() noexcept
{
    m_bitmap.Reset();
    m_resourceId = 0;
    m_name = nullptr;
    m_module = nullptr;
}

SIZE XTransparentBitmap::GetSize() const noexcept
{
    BITMAP info{};
    if (!m_bitmap || ::GetObjectW(m_bitmap.Get(), sizeof(info), &info) != sizeof(info))
    {
        return SIZE{0, 0};
    }
    return SIZE{info.bmWidth, info.bmHeight};
}

void XTransparentBitmap::ReplaceMagenta(std::uint8_t* bits, int width, int height, COLORREF color) noexcept
{
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    for (int y = 0; y < height; ++y)
    {
        std::uint8_t* pixel = bits + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x, pixel += 3)
        {
            if (pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 255)
            {
                pixel[0] = GetBValue(color);
                pixel[1] = GetGValue(color);
                pixel[2] = GetRValue(color);
            }
        }
    }
}

bool XTransparentBitmap::LoadFrom(HMODULE module, const wchar_t* resource) noexcept
{
    win::Bitmap bitmap(
        static_cast<HBITMAP>(::LoadImageW(module, resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE)));
    if (!bitmap)
    {
        return false;
    }
    // A bitmap of another depth stays attached, unkeyed, but the load reports false.
    m_bitmap = std::move(bitmap);
    DIBSECTION section{};
    if (::GetObjectW(m_bitmap.Get(), sizeof(section), &section) != sizeof(section) || section.dsBm.bmBitsPixel != 24 ||
        !section.dsBm.bmBits)
    {
        return false;
    }
    ::GdiFlush();
    ReplaceMagenta(static_cast<std::uint8_t*>(section.dsBm.bmBits), section.dsBm.bmWidth,
        std::abs(section.dsBm.bmHeight), m_transparent);
    return true;
}

}  // namespace ui
